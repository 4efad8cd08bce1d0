// The profile layer: name matching, exact spelling on write, order, refusals,
// atomic saves, hostile files, and the classic one-call-per-key functions.

#include "platform/profile/Profile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;
using platform::profile::Profile;

namespace {

class ProfileFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "silvane-profile-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path(name), std::ios::binary) << text;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::size_t fileCount() const {
        return std::size_t(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    fs::path dir_;
};

} // namespace

TEST(ProfileNames, TrailingBlankIsWrittenAndFoundEitherWay) {
    Profile p;
    ASSERT_TRUE(p.setValue("Silvane", "Musical noise reduction ", "0.98"));
    EXPECT_EQ(p.text(), "[Silvane]\nMusical noise reduction =0.98\n");

    Profile q;
    std::string t = p.text();
    q.loadData(t.data(), t.size());
    EXPECT_EQ(q.value("Silvane", "Musical noise reduction ").value_or("?"), "0.98");
    EXPECT_EQ(q.value("silvane", "MUSICAL NOISE REDUCTION").value_or("?"), "0.98");
    // Rewriting keeps the caller's spelling, blank included, in place.
    ASSERT_TRUE(q.setValue("Silvane", "Musical noise reduction ", "0.5"));
    EXPECT_EQ(q.text(), "[Silvane]\nMusical noise reduction =0.5\n");
}

TEST(ProfileNames, SpacesInsideNamesAndValuesAreKept) {
    const std::string file = "[Window Position]\n  Left =  12 \n[Output Data]\n"
                             "Directory for output data=/tmp/my dir\n";
    Profile p;
    p.loadData(file.data(), file.size());
    EXPECT_EQ(p.value("Window Position", "Left").value_or("?"), "12");
    EXPECT_EQ(p.value("Output Data", "Directory for output data").value_or("?"), "/tmp/my dir");
    EXPECT_FALSE(p.value("Window Position", "Top").has_value());
    EXPECT_FALSE(p.value("Nowhere", "Left").has_value());
}

TEST(ProfileOrder, UpdatesStayInPlaceAndNewKeysAppend) {
    const std::string file = "[A]\nx=1\ny=2\n\n[B]\nz=3\n";
    Profile p;
    p.loadData(file.data(), file.size());
    ASSERT_TRUE(p.setValue("a", "X", "10"));
    ASSERT_TRUE(p.setValue("A", "w", "4"));
    ASSERT_TRUE(p.setValue("C", "v", "5"));
    EXPECT_EQ(p.text(), "[a]\nX=10\ny=2\nw=4\n\n[B]\nz=3\n\n[C]\nv=5\n");
    EXPECT_EQ(p.keys("A"), (std::vector<std::string>{"X", "y", "w"}));
    EXPECT_EQ(p.sections(), (std::vector<std::string>{"a", "B", "C"}));
}

TEST(ProfileOrder, CrLfFilesAndCommentsRead) {
    const std::string file = "[S]\r\n; a note\r\nk=v\r\n# another\r\nn=1\r\n";
    Profile p;
    p.loadData(file.data(), file.size());
    EXPECT_EQ(p.value("S", "k").value_or("?"), "v");
    EXPECT_EQ(p.value("S", "n").value_or("?"), "1");
    EXPECT_EQ(p.keys("S").size(), 2u);
}

TEST(ProfileRefusals, NamesAndValuesThatWouldCorruptTheFile) {
    Profile p;
    ASSERT_TRUE(p.setValue("S", "k", "v"));
    const std::string before = p.text();
    EXPECT_FALSE(p.setValue("S", "k", "two\nlines"));
    EXPECT_FALSE(p.setValue("S", "k", "cr\rhere"));
    EXPECT_FALSE(p.setValue("S", "a=b", "v"));
    EXPECT_FALSE(p.setValue("S", "[k", "v"));
    EXPECT_FALSE(p.setValue("S", ";k", "v"));
    EXPECT_FALSE(p.setValue("S", "  ", "v"));
    EXPECT_FALSE(p.setValue("S]", "k", "v"));
    EXPECT_FALSE(p.setValue("", "k", "v"));
    EXPECT_FALSE(p.setValue("S", "k", std::string("nul\0x", 5)));
    EXPECT_EQ(p.text(), before);
}

TEST(ProfileHostile, GarbageAndNulBytesNeverCrashAndKeepReadableParts) {
    std::string junk = "\xff\xfe[[[\n=\n==x\n[unterminated\nkey-only\n[S]\nk=1\n";
    junk += std::string("\0[T]\nhidden=1\n", 14);
    Profile p;
    p.loadData(junk.data(), junk.size());
    EXPECT_EQ(p.value("S", "k").value_or("?"), "1");
    EXPECT_FALSE(p.value("T", "hidden").has_value());
    // Whatever was read comes back out unchanged by a second round.
    std::string once = p.text();
    Profile q;
    q.loadData(once.data(), once.size());
    EXPECT_EQ(q.text(), once);
}

TEST(ProfileHostile, UnclosedSectionLineDoesNotSwallowTheNextLines) {
    // Found by the fuzzer: the keys after "[Silva" used to land in a section
    // whose name ran on into the following line.
    const std::string file = "[Silvane]\nKind substration=1\n[Silva\r\nLeft=3\n[B]\nk=2\n";
    Profile p;
    p.loadData(file.data(), file.size());
    EXPECT_EQ(p.sections(), (std::vector<std::string>{"Silvane", "B"}));
    EXPECT_EQ(p.value("Silvane", "Left").value_or("?"), "3");
    EXPECT_EQ(p.text(), "[Silvane]\nKind substration=1\nLeft=3\n\n[B]\nk=2\n");
    // The same behind a byte-order mark, with a lone carriage return.
    const std::string marked = "\xEF\xBB\xBF[Silva\rk=1\n[B]\nk=2\n";
    p.loadData(marked.data(), marked.size());
    EXPECT_EQ(p.text(), "k=1\n\n[B]\nk=2\n");
}

TEST(ProfileHostile, KeysThatCouldNotBeWrittenBackAreDropped) {
    // A byte-order mark inside the file starts a key; written first in a file
    // it would be taken for the file's own mark.
    const std::string file = "junk line\n\xEF\xBB\xBFKey=1\n[S]\nk=2\n";
    Profile p;
    p.loadData(file.data(), file.size());
    EXPECT_EQ(p.text(), "[S]\nk=2\n");
    EXPECT_FALSE(p.setValue("S", "\xEF\xBB\xBFKey", "1"));
}

TEST_F(ProfileFiles, OversizedAndMissingFilesReadAsEmpty) {
    std::string big = "[S]\nk=1\n" + std::string(platform::profile::kMaxProfileBytes, 'x');
    write("big.ini", big);
    Profile p;
    EXPECT_FALSE(p.load(path("big.ini")));
    EXPECT_TRUE(p.sections().empty());
    EXPECT_FALSE(p.load(path("absent.ini")));
    EXPECT_FALSE(p.load(dir_.string())); // a directory is no file
}

TEST_F(ProfileFiles, SaveReplacesAtomicallyAndLeavesNoTemporary) {
    write("SV.ini", "[Old]\nk=1\n");
    Profile p;
    ASSERT_TRUE(p.load(path("SV.ini")));
    ASSERT_TRUE(p.setValue("New", "k", "2"));
    std::string err;
    ASSERT_TRUE(p.save(path("SV.ini"), err)) << err;
    EXPECT_EQ(read("SV.ini"), "[Old]\nk=1\n\n[New]\nk=2\n");
    EXPECT_EQ(fileCount(), 1u);

    EXPECT_FALSE(p.save(path("no-such-dir/SV.ini"), err));
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(fileCount(), 1u);
}

TEST_F(ProfileFiles, GetStringDefaultsQuotesTruncation) {
    write("a.ini", "[S]\nq=\"quoted value\"\ns='single'\nlong=abcdefghij\nempty=\n");
    const std::string f = path("a.ini");
    char buf[64];
    EXPECT_EQ(GetPrivateProfileStringA("S", "q", "", buf, sizeof buf, f.c_str()), 12u);
    EXPECT_STREQ(buf, "quoted value");
    GetPrivateProfileStringA("S", "s", "", buf, sizeof buf, f.c_str());
    EXPECT_STREQ(buf, "single");
    EXPECT_EQ(GetPrivateProfileStringA("S", "missing", "dflt  ", buf, sizeof buf, f.c_str()), 4u);
    EXPECT_STREQ(buf, "dflt");
    EXPECT_EQ(GetPrivateProfileStringA("S", "missing", nullptr, buf, sizeof buf, f.c_str()), 0u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(GetPrivateProfileStringA("S", "empty", "d", buf, sizeof buf, f.c_str()), 0u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(GetPrivateProfileStringA("S", "long", "", buf, 5, f.c_str()), 4u);
    EXPECT_STREQ(buf, "abcd");
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "x", buf, 0, f.c_str()), 0u);
    EXPECT_EQ(
        GetPrivateProfileStringA("S", "k", "dflt", buf, sizeof buf, path("absent.ini").c_str()),
        4u);
}

TEST_F(ProfileFiles, GetStringListsSectionsAndKeys) {
    // Keys before the first section belong to no section and are not listed.
    write("a.ini", "stray=0\n[One]\na=1\nbb=2\n[Two]\nc=3\n");
    const std::string f = path("a.ini");
    char buf[64];
    DWORD n = GetPrivateProfileStringA(nullptr, nullptr, "", buf, sizeof buf, f.c_str());
    EXPECT_EQ(std::string(buf, n), std::string("One\0Two\0", 8));
    EXPECT_EQ(buf[n], '\0');
    n = GetPrivateProfileStringA("One", nullptr, "", buf, sizeof buf, f.c_str());
    EXPECT_EQ(std::string(buf, n), std::string("a\0bb\0", 5));
    // Cut list: size - 2 characters, still ended by two NULs.
    n = GetPrivateProfileStringA("One", nullptr, "", buf, 4, f.c_str());
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(buf[2], '\0');
    EXPECT_EQ(buf[3], '\0');
}

TEST_F(ProfileFiles, GetIntParsesLikeTheClassicCall) {
    write("a.ini", "[S]\nneg=-30\ntail=12abc\njunk=abc\nblank=\nplus=+7\n");
    const char* f = nullptr;
    std::string p = path("a.ini");
    f = p.c_str();
    EXPECT_EQ(INT(GetPrivateProfileIntA("S", "neg", 5, f)), -30);
    EXPECT_EQ(GetPrivateProfileIntA("S", "tail", 5, f), 12u);
    EXPECT_EQ(GetPrivateProfileIntA("S", "junk", 5, f), 0u);
    EXPECT_EQ(GetPrivateProfileIntA("S", "blank", 5, f), 5u);
    EXPECT_EQ(GetPrivateProfileIntA("S", "missing", -18, f), UINT(-18));
    EXPECT_EQ(GetPrivateProfileIntA("S", "plus", 0, f), 7u);
}

TEST_F(ProfileFiles, WriteCreatesUpdatesAndDeletes) {
    std::string p = path("w.ini");
    const char* f = p.c_str();
    ASSERT_TRUE(WritePrivateProfileStringA("Record sound", "ID device", "1", f));
    ASSERT_TRUE(WritePrivateProfileStringA("Record sound", "Sample rate", "2", f));
    ASSERT_TRUE(WritePrivateProfileStringA("Interface", "Language", "0", f));
    ASSERT_TRUE(WritePrivateProfileStringA("Record sound", "ID device", "3", f));
    EXPECT_EQ(read("w.ini"),
              "[Record sound]\nID device=3\nSample rate=2\n\n[Interface]\nLanguage=0\n");
    ASSERT_TRUE(WritePrivateProfileStringA("Record sound", "ID device", nullptr, f));
    ASSERT_TRUE(WritePrivateProfileStringA("Interface", nullptr, nullptr, f));
    EXPECT_EQ(read("w.ini"), "[Record sound]\nSample rate=2\n");
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "a\nb", f));
    EXPECT_EQ(read("w.ini"), "[Record sound]\nSample rate=2\n");
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", path("none/w.ini").c_str()));
    EXPECT_EQ(fileCount(), 1u);
}
