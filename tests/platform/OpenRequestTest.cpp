#include "platform/OpenRequest.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace {

using Paths = std::vector<std::string>;

// The layout written out by hand, so that the parser is checked against it rather than against
// the encoder.
std::string Word(std::uint64_t value) {
    std::string bytes;
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
    return bytes;
}

std::string Entry(const std::string& path) {
    return Word(path.size()) + path;
}

std::string Body(std::uint64_t count, const Paths& paths) {
    std::string body = Word(count);
    for (const std::string& path : paths) {
        body += Entry(path);
    }
    return body;
}

std::string Framed(const std::string& body, std::uint64_t version = 1,
                   const std::string& magic = "QOPN") {
    return magic + Word(version) + Word(body.size()) + body;
}

std::string Without(std::string bytes, std::size_t count) {
    bytes.resize(bytes.size() - count);
    return bytes;
}

const std::string kClip = "/home/user/clip one.mp4";
// A name as an old Latin-1 disc gives it: not UTF-8, yet a file's name to pass on unchanged.
const std::string kLatin1 = "/media/d\xE9j\xE0 vu.avi";
const std::string kLongest = "/" + std::string(kMaxOpenRequestPathBytes - 1, 'x');

struct RequestCase {
    const char* name;
    std::string bytes;
    EOpenRequestProgress progress;
    std::optional<Paths> paths; // what ParseOpenRequest gives
};

const RequestCase kCases[] = {
    {"no paths: only the window comes forward", Framed(Body(0, {})), EOpenRequestProgress::Whole,
     Paths{}},
    {"paths of any bytes, the longest allowed", Framed(Body(3, {kClip, kLatin1, kLongest})),
     EOpenRequestProgress::Whole, Paths{kClip, kLatin1, kLongest}},
    {"nothing yet", "", EOpenRequestProgress::Incomplete, std::nullopt},
    {"the header cut short", Framed(Body(0, {})).substr(0, 6), EOpenRequestProgress::Incomplete,
     std::nullopt},
    {"the last byte missing", Without(Framed(Body(1, {kClip})), 1),
     EOpenRequestProgress::Incomplete, std::nullopt},
    {"a wrong first byte", "GET / HTTP/1.0\r\n", EOpenRequestProgress::Malformed, std::nullopt},
    {"a wrong magic", Framed(Body(0, {}), 1, "QOPX"), EOpenRequestProgress::Malformed,
     std::nullopt},
    {"an unknown version", Framed(Body(0, {}), 2), EOpenRequestProgress::Malformed, std::nullopt},
    {"a body size over the limit", "QOPN" + Word(1) + Word(kMaxOpenRequestBytes),
     EOpenRequestProgress::Malformed, std::nullopt},
    {"bytes past the message's end", Framed(Body(1, {kClip})) + "x",
     EOpenRequestProgress::Malformed, std::nullopt},
    {"a count over the limit", Framed(Body(kMaxOpenRequestPaths + 1, {})),
     EOpenRequestProgress::Whole, std::nullopt},
    {"a body without a count", Framed("abc"), EOpenRequestProgress::Whole, std::nullopt},
    {"more paths counted than sent", Framed(Body(2, {kClip})), EOpenRequestProgress::Whole,
     std::nullopt},
    {"a length over the limit", Framed(Body(1, {kLongest + "x"})), EOpenRequestProgress::Whole,
     std::nullopt},
    {"a length past the end", Framed(Word(1) + Word(100) + kClip), EOpenRequestProgress::Whole,
     std::nullopt},
    {"bytes after the last path", Framed(Body(1, {kClip}) + "x"), EOpenRequestProgress::Whole,
     std::nullopt},
    {"a relative path", Framed(Body(2, {kClip, "clip.mp4"})), EOpenRequestProgress::Whole,
     std::nullopt},
    {"an empty path", Framed(Body(1, {""})), EOpenRequestProgress::Whole, std::nullopt},
    {"a path holding NUL", Framed(Body(1, {std::string("/a\0b", 4)})), EOpenRequestProgress::Whole,
     std::nullopt},
};

TEST(OpenRequestTest, GoodAndMalformedMessages) {
    for (const RequestCase& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OpenRequestProgress(c.bytes), c.progress);
        EXPECT_EQ(ParseOpenRequest(c.bytes), c.paths);
    }
}

TEST(OpenRequestTest, TheEncoderWritesTheLayoutAndKeepsToTheLimits) {
    EXPECT_EQ(EncodeOpenRequest({kClip, kLatin1}), Framed(Body(2, {kClip, kLatin1})));
    // What the receiver would refuse is left out, and the rest still goes.
    EXPECT_EQ(EncodeOpenRequest({"", "clip.mp4", kLongest + "x", kClip}), Framed(Body(1, {kClip})));

    const Paths tooMany(kMaxOpenRequestPaths + 1, kClip);
    const std::optional<Paths> counted = ParseOpenRequest(EncodeOpenRequest(tooMany));
    ASSERT_TRUE(counted);
    EXPECT_EQ(*counted, Paths(kMaxOpenRequestPaths, kClip));

    // Paths of the longest kind reach the size limit before the count limit, and fill it.
    const Paths tooLarge(kMaxOpenRequestBytes / kMaxOpenRequestPathBytes, kLongest);
    const std::string message = EncodeOpenRequest(tooLarge);
    EXPECT_LE(message.size(), kMaxOpenRequestBytes);
    const std::optional<Paths> sized = ParseOpenRequest(message);
    ASSERT_TRUE(sized);
    EXPECT_EQ(*sized, Paths(sized->size(), kLongest));
    EXPECT_LT(sized->size(), tooLarge.size());
    EXPECT_GT(message.size() + Entry(kLongest).size(), kMaxOpenRequestBytes) << "room was left";
}

} // namespace
