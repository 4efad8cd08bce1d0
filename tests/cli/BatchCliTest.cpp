// silvane-cli batch over a collection: formats found by content, the tree
// mirrored, several jobs giving the same bytes as one, a resumed batch leaving
// finished results alone, reports with checksums, progress and exit status;
// metadata travelling with the files.

#include "soundfile/AudioStream.h"
#include "soundfile/WavFile.h"
#include "tests/cli/Shell.h"
#include "tests/soundfile/TestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

namespace fs = std::filesystem;
using namespace testfiles;
using clitest::sh;
using clitest::Shell;

namespace {

// A small collection: WAV, FLAC under a name that hides it, MP3 in a
// subdirectory, a text file and a broken WAV.
fs::path makeCollection(const std::string& name, bool broken) {
    const fs::path in = scratchDir() / name;
    fs::remove_all(in);
    fs::create_directories(in / "day2" / "deep");
    writeTestWav((in / "a.wav").string(), 9000, 1, 16000, 8000);
    writeTestWav((in / "b.wav").string(), 7000, 2, 8000, 8000);
    writeTestWav(scratch("c-src.wav"), 8000, 1, 16000, 8000);
    EXPECT_EQ(
        run("flac -s -f -o " + (in / "day2" / "c.take").string() + " " + scratch("c-src.wav")), 0);
    EXPECT_EQ(run("lame --quiet " + scratch("c-src.wav") + " " +
                  (in / "day2" / "deep" / "d.mp3").string()),
              0);
    writeBytes((in / "notes.txt").string(), {'n', 'o', 't', 'e'});
    if (broken)
        writeBytes((in / "day2" / "e.wav").string(), {'R', 'I', 'F', 'F', 1, 2, 3});
    return in;
}

std::vector<fs::path> filesUnder(const fs::path& dir) {
    std::vector<fs::path> v;
    for (auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            v.push_back(e.path().lexically_relative(dir));
    std::sort(v.begin(), v.end());
    return v;
}

TEST(BatchCli, MirrorsATreeFoundByContentAndJobsChangeNothing) {
    const fs::path in = makeCollection("coll", false);
    const fs::path one = scratchDir() / "out-one", two = scratchDir() / "out-two";
    fs::create_directories(one);
    fs::create_directories(two);
    Shell r = sh("$CLI batch --recursive --jobs 1 " + in.string() + " " + one.string());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("4 file(s): 4 cleaned, 0 skipped, 0 failed"), std::string::npos) << r.out;
    ASSERT_EQ(sh("$CLI batch -r -q --jobs 2 " + in.string() + " " + two.string()).status, 0);
    const std::vector<fs::path> expected = {"a.wav", "b.wav", "day2/c.wav", "day2/deep/d.wav"};
    EXPECT_EQ(filesUnder(one), expected);
    EXPECT_EQ(filesUnder(two), expected);
    for (const auto& f : expected)
        EXPECT_EQ(readBytes((one / f).string()), readBytes((two / f).string())) << f;
    // Without --recursive only the top directory is cleaned.
    const fs::path flat = scratchDir() / "out-flat";
    fs::create_directories(flat);
    ASSERT_EQ(sh("$CLI batch " + in.string() + " " + flat.string()).status, 0);
    EXPECT_EQ(filesUnder(flat), (std::vector<fs::path>{"a.wav", "b.wav"}));
    // Every output as long as its source.
    for (const auto& [src, out] : std::vector<std::pair<fs::path, fs::path>>{
             {in / "a.wav", one / "a.wav"}, {in / "day2/c.take", one / "day2/c.wav"}}) {
        std::unique_ptr<soundfile::AudioReader> a, b;
        std::string err;
        ASSERT_TRUE(soundfile::openAudioReader(src.string(), a, err)) << err;
        ASSERT_TRUE(soundfile::openAudioReader(out.string(), b, err)) << err;
        EXPECT_EQ(a->info().frames, b->info().frames) << src;
    }
}

TEST(BatchCli, ResumeSkipsFinishedResultsAndRefusesToReplaceOthers) {
    const fs::path in = makeCollection("resume", false);
    const fs::path out = scratchDir() / "resume-out", ref = scratchDir() / "resume-ref";
    fs::create_directories(out);
    fs::create_directories(ref);
    ASSERT_EQ(sh("$CLI batch -r -q " + in.string() + " " + ref.string()).status, 0);
    ASSERT_EQ(sh("$CLI batch -r -q " + in.string() + " " + out.string()).status, 0);
    // An interrupted run: one result missing, one from an earlier run we must not touch.
    fs::remove(out / "day2" / "c.wav");
    writeBytes((out / "a.wav").string(), {'o', 'l', 'd'});
    Shell r = sh("$CLI batch -r " + in.string() + " " + out.string());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("exists"), std::string::npos) << r.err;
    EXPECT_EQ(readBytes((out / "a.wav").string()).size(), 3u);
    fs::remove(out / "day2" / "c.wav");
    // What the killed run was writing when it died, and an empty write made a
    // moment ago (perhaps another run's, about to take its lock).
    const fs::path killed = out / "day2" / "c.wav.partial-k1LLed",
                   fresh = out / "b.wav.partial-fr35h0";
    writeBytes(killed.string(), {'h', 'a', 'l', 'f'});
    writeBytes(fresh.string(), {});
    r = sh("$CLI batch -r --skip-existing " + in.string() + " " + out.string());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("1 cleaned, 3 skipped, 0 failed"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("removed 1 unfinished file left by an interrupted run"), std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_TRUE(fs::exists(fresh));
    fs::remove(fresh);
    // A skipped file's record still describes it.
    const std::string csv = scratch("resume.csv");
    ASSERT_EQ(sh("$CLI batch -r -q --skip-existing --report " + csv + " " + in.string() + " " +
                 out.string())
                  .status,
              0);
    const auto rep = readBytes(csv);
    const std::string text(rep.begin(), rep.end());
    EXPECT_NE(text.find(",8000,2,7000,0.875,0.000,skipped,"), std::string::npos) << text;
    EXPECT_EQ(readBytes((out / "a.wav").string()).size(), 3u);
    EXPECT_EQ(readBytes((out / "day2" / "c.wav").string()),
              readBytes((ref / "day2" / "c.wav").string()));
    EXPECT_EQ(sh("$CLI batch --skip-existing -y " + in.string() + " " + out.string()).status, 2);
}

std::string sha256Of(const fs::path& p) {
    Shell r = sh("sha256sum '" + p.string() + "'");
    return r.out.substr(0, 64);
}

TEST(BatchCli, ReportsProgressAndExitStatus) {
    const fs::path in = makeCollection("report", true);
    const fs::path out = scratchDir() / "report-out";
    fs::create_directories(out);
    const std::string csv = scratch("report.csv"), json = scratch("report.json");
    Shell r = sh("$CLI batch -r --jobs 2 --report " + csv + " " + in.string() + " " + out.string());
    EXPECT_EQ(r.status, 1); // the broken file failed, the others are done
    EXPECT_NE(r.out.find("5 file(s): 4 cleaned, 0 skipped, 1 failed"), std::string::npos) << r.out;
    // Not a terminal: one line per file on stderr, the failure in words.
    EXPECT_NE(r.err.find("[5/5]"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("e.wav"), std::string::npos) << r.err;
    const auto bytes = readBytes(csv);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.rfind("# silvane-cli ", 0), 0u) << text;
    EXPECT_NE(text.find("method 2"), std::string::npos);
    EXPECT_NE(text.find("source,source_sha256,output,output_sha256,rate,channels,frames,seconds"),
              std::string::npos);
    const std::string a = (in / "a.wav").string();
    std::string line = text.substr(text.find(a + ","));
    line = line.substr(0, line.find('\n'));
    std::vector<std::string> f;
    for (std::size_t at = 0;;) {
        const std::size_t comma = line.find(',', at);
        f.push_back(line.substr(at, comma - at));
        if (comma == std::string::npos)
            break;
        at = comma + 1;
    }
    ASSERT_EQ(f.size(), 11u) << line;
    EXPECT_EQ(f[1], sha256Of(in / "a.wav"));
    EXPECT_EQ(f[2], (out / "a.wav").string());
    EXPECT_EQ(f[3], sha256Of(out / "a.wav"));
    EXPECT_EQ(f[4] + " " + f[5] + " " + f[6] + " " + f[7], "16000 1 9000 0.562");
    EXPECT_EQ(f[9], "done");
    EXPECT_EQ(f[10], "");
    EXPECT_NE(text.find(",failed,"), std::string::npos);

    fs::remove_all(out);
    fs::create_directories(out);
    ASSERT_EQ(
        sh("$CLI batch -r -q --report " + json + " " + in.string() + " " + out.string()).status, 1);
    Shell py =
        sh("/usr/bin/python3 -c \"import json,sys; d=json.load(open('" + json +
           "')); print(d['version'], len(d['files']), sorted(f['status'] for f in d['files']))\"");
    EXPECT_EQ(py.status, 0) << py.err;
    EXPECT_NE(py.out.find(" 5 ['done', 'done', 'done', 'done', 'failed']"), std::string::npos)
        << py.out;
    // -q: nothing but the failure on stderr.
    fs::remove_all(out);
    fs::create_directories(out);
    r = sh("$CLI batch -r -q " + in.string() + " " + out.string());
    EXPECT_EQ(r.err.find("[1/5]"), std::string::npos) << r.err;
    // A terminal gets one line rewritten in place, with the time left.
    fs::remove_all(out);
    fs::create_directories(out);
    r = sh("script -qec '$CLI batch -r " + in.string() + " " + out.string() + "' /dev/null");
    EXPECT_NE(r.out.find("5/5 files"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" left"), std::string::npos);
    EXPECT_NE(r.out.find('\r'), std::string::npos);
    EXPECT_EQ(sh("$CLI batch --jobs 0 " + in.string() + " " + out.string()).status, 2);
    EXPECT_EQ(sh("$CLI batch --report x.txt " + in.string() + " " + out.string()).status, 2);
}

TEST(MetadataCli, InfoAndBextTravelAndAreShown) {
    // A broadcast-wave source with LIST/INFO before the format and bext after the data.
    const auto sig = testSignal(6000, 1, 16000);
    std::vector<uint8_t> bext(602, 0);
    const std::string desc = "Interview with the keeper",
                      hist = "A=PCM,F=16000,W=16,M=mono,T=field recorder\r\n";
    std::copy(desc.begin(), desc.end(), bext.begin());
    bext.insert(bext.end(), hist.begin(), hist.end());
    Bytes b;
    b.id("RIFF").u32(0).id("WAVE");
    b.id("LIST").u32(4 + 8 + 8).id("INFO").id("INAM").u32(8).raw(
        {'K', 'e', 'e', 'p', 'e', 'r', ' ', 0});
    fmtChunk(b, Fmt{16, 1, 1, 16000, 2, 16});
    b.id("data").u32(uint32_t(sig.size() * 2)).raw(le16(sig));
    b.id("bext").u32(uint32_t(bext.size())).raw(bext);
    const std::string src = scratch("bwf.wav"), out = scratch("bwf-clean.wav"),
                      flac = scratch("bwf-clean.flac");
    writeBytes(src, b.v);
    ASSERT_EQ(sh("$CLI clean --limit -24 " + src + " " + out).status, 0);
    Shell info = sh("$CLI info " + out);
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("INAM (title):     Keeper"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("bext description: Interview with the keeper"), std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("coding history:   A=PCM,F=16000,W=16,M=mono,T=field recorder\n"),
              std::string::npos);
    EXPECT_NE(info.out.find("coding history:   A=PCM,F=16000,W=16,M=mono,T=Silvane silvane-cli "),
              std::string::npos);
    EXPECT_NE(info.out.find("; method 2; limit -24 dB;"), std::string::npos) << info.out;
    // Into FLAC the tags go; the bext chunk cannot, which is said.
    Shell r = sh("$CLI clean " + src + " " + flac);
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("bext"), std::string::npos) << r.err;
    Shell tags =
        sh("metaflac --export-tags-to=- " + flac + " | tr a-z A-Z"); // names are case-blind
    EXPECT_NE(tags.out.find("TITLE=KEEPER"), std::string::npos) << tags.out;
    // And FLAC tags come back into a WAV file as INFO fields.
    const std::string back = scratch("bwf-back.wav");
    ASSERT_EQ(sh("$CLI clean " + flac + " " + back).status, 0);
    EXPECT_NE(sh("$CLI info " + back).out.find("INAM (title):     Keeper"), std::string::npos);
}

} // namespace
