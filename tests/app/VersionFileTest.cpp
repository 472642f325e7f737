#include "app/VersionFile.h"

#include <gtest/gtest.h>
#include <string>

namespace {

struct VersionCase {
    const char* name;
    std::string text;
    std::string version;
};

const std::string kLongLine(1 << 20, 'x');

// The line rules, each case a whole file and the version string it gives.
const VersionCase kCases[] = {
    {"beta", "[Version]\r\nMajor=2\r\nMinor=1\r\nBuild=7\r\nBeta=1\r\n", "2.1.7 beta"},
    {"beta zero", "[Version]\nMajor=2\nMinor=1\nBuild=7\nBeta=0\n", "2.1.7"},
    {"no beta key", "[Version]\nMajor=2\nMinor=1\nBuild=7\n", "2.1.7"},
    {"blanks around values", "[Version]\nMajor=  2 \nMinor=\t1\nBuild=7  \nBeta= 1 \n",
     "2.1.7 beta"},
    {"indented lines", "  \t[Version]\n\t Major=3\n   Minor=0\nBuild=1\n", "3.0.1"},
    {"blank after the closing bracket", "[Version]  \nMajor=2\nMinor=1\nBuild=7\n", "2.1.7"},
    {"blank after the opening bracket", "[ Version]\nMajor=2\nMinor=1\nBuild=7\n", ""},
    {"key with a blank is another key", "[Version]\nMajor =9\nMajor=2\nMinor=1\nBuild=7\n",
     "2.1.7"},
    {"keys before any section are ignored", "Major=9\n[Version]\nMinor=1\nBuild=7\n", ".1.7"},
    {"comments and lines starting with =",
     "[Version]\n#Major=9\n=Major=9\nMajor=4\n"
     "Minor=5\nBuild=6\n",
     "4.5.6"},
    {"case-sensitive names", "[version]\nMajor=2\nMinor=1\nBuild=7\n", ""},
    {"the last value wins, other sections ignored",
     "[Version]\nMajor=1\n[Other]\nMajor=8\n[Version]\nMajor=2\nMinor=0\nBuild=0\n", "2.0.0"},
    {"empty file", "", ""},
    {"blank CR LF lines",
     "\r\n[Version]\r\n\r\nMajor=2\r\n  \r\n\t\r\nMinor=1\r\n\r\nBuild=7\r\n\r\n", "2.1.7"},
    {"lone CR lines and two CRs after the bracket",
     "\r\n\r\n[Version]\r\r\nMajor=2\r\nMinor=1\r\nBuild=7\r\n", "2.1.7"},
    {"a final line without a line feed", "[Version]\nMajor=2\nMinor=1\nBuild=7\nBeta=1",
     "2.1.7 beta"},
    {"a final CR without a line feed", "[Version]\r\nMajor=2\r\nMinor=1\r\nBuild=7\r", "2.1.7"},
    {"very long lines",
     "#" + kLongLine + "\n[Version]\nMajor=2\nMinor=1\nBuild=7" + std::string(100000, ' ') + "\n" +
         kLongLine + "=1\nBeta=" + kLongLine + "\n",
     "2.1.7"},
    {"a very long value", "[Version]\nMajor=2\nMinor=1\nBuild=" + kLongLine + "\n",
     "2.1." + kLongLine},
};

TEST(VersionFileTest, LineRulesGiveTheVersionString) {
    for (const VersionCase& c : kCases) {
        CVersionFile file;
        file.Parse(c.text);
        EXPECT_EQ(file.VersionString(), c.version) << c.name;
    }
}

TEST(VersionFileTest, LoadingReplacesWhatWasReadAndAMissingFileGivesNothing) {
    CVersionFile file;
    file.Parse("[Version]\nMajor=1\nMinor=2\nBuild=3\n");
    file.Parse("[Other]\nkey=value\n");
    EXPECT_FALSE(file.HasSection("Version"));
    EXPECT_EQ(file.Value("Other", "key"), "value");
    EXPECT_FALSE(file.Load(L"/nonexistent/qor.ini"));
    EXPECT_FALSE(file.HasSection("Other"));
    EXPECT_EQ(file.VersionString(), "");
}

} // namespace
