#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MediaFixture.h"
#include "core/WideText.h"
#include "media/VeltoSource.h"
#include "platform/graph/FilterGraph.h"
#include "platform/graph/SourceStream.h"

namespace {

std::shared_ptr<CVeltoSource> LoadTagged(const std::string& name,
                                         const std::vector<std::string>& tags) {
    std::vector<std::string> args = {"-f",   "lavfi",    "-i", "sine=frequency=440:duration=1",
                                     "-c:a", "pcm_s16le"};
    for (const std::string& tag : tags) {
        args.push_back("-metadata");
        args.push_back(tag);
    }
    const std::string path = MakeMedia(name, args);
    auto source = std::make_shared<CVeltoSource>();
    EXPECT_TRUE(SUCCEEDED(source->Load(Utf8ToWide(path).c_str()))) << path;
    return source;
}

TEST(SourceContentTest, TagsComeFromTheContainerAsWideTextWithArtistBeforeAuthor) {
    auto source = LoadTagged("tags_title_artist_author_copyright.mkv",
                             {"title=\xC3\x89t\xC3\xA9 \xE2\x98\x83", "artist=The Artist",
                              "author=The Author", "copyright=(c) 2024 Someone"});
    // Offered through the graph the way the engine finds it: by asking each filter.
    auto graph = CreateFilterGraph();
    ASSERT_EQ(graph->AddFilter(source, L""), S_OK);
    std::vector<std::shared_ptr<IBaseFilter>> filters;
    ASSERT_EQ(graph->EnumFilters(&filters), S_OK);
    ASSERT_EQ(filters.size(), 1u);
    auto content = QueryInterface<IAMMediaContent>(filters[0]);
    ASSERT_TRUE(content);

    std::wstring text;
    ASSERT_EQ(content->get_Title(&text), S_OK);
    EXPECT_EQ(text, L"\u00C9t\u00E9 \u2603");
    ASSERT_EQ(content->get_AuthorName(&text), S_OK);
    EXPECT_EQ(text, L"The Artist");
    ASSERT_EQ(content->get_Copyright(&text), S_OK);
    EXPECT_EQ(text, L"(c) 2024 Someone");
    EXPECT_EQ(content->get_Title(nullptr), E_POINTER);
}

TEST(SourceContentTest, AuthorStandsInForAMissingArtistAndMissingTagsFail) {
    auto source = LoadTagged("tags_author_only.mkv", {"author=Only Author"});
    std::wstring text = L"untouched";
    ASSERT_EQ(source->get_AuthorName(&text), S_OK);
    EXPECT_EQ(text, L"Only Author");
    text = L"untouched";
    EXPECT_EQ(source->get_Title(&text), E_FAIL);
    EXPECT_EQ(source->get_Copyright(&text), E_FAIL);
    EXPECT_EQ(text, L"untouched");

    // A source that never opened a file has no tags either.
    CVeltoSource unopened;
    EXPECT_EQ(unopened.get_Title(&text), E_FAIL);
}

} // namespace
