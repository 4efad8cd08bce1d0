// The recipes for collections beyond one machine, run on this one: GNU
// parallel over a file list (locally, and the command line its remote form
// builds), the Slurm array script with the task variable set by hand, and the
// merge of per-task reports.

#include "tests/cli/Shell.h"
#include "tests/soundfile/TestFiles.h"
#include "soundfile/WavFile.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

namespace fs = std::filesystem;
using namespace testfiles;
using clitest::Shell;
using clitest::sh;

namespace {

const std::string kScripts = std::string(SILVANE_SOURCE_DIR) + "/scripts/";

// Three recordings listed in a file, one with a space in its name.
fs::path makeList(const std::string& name) {
    const fs::path dir = scratchDir() / name;
    fs::create_directories(dir / "in");
    std::string list;
    int n = 0;
    for (const char* f : {"one.wav", "two words.wav", "three.wav"}) {
        const auto sig = testSignal(6000 + 1000 * n++, 1, 16000);
        std::string err;
        EXPECT_TRUE(writePcmWav((dir / "in" / f).string(), 16000, 1, sig.data(), sig.size(), err))
            << err;
        list += (dir / "in" / f).string() + "\n";
    }
    writeBytes((dir / "list.txt").string(), std::vector<uint8_t>(list.begin(), list.end()));
    return dir;
}

TEST(Recipes, GnuParallelLocallyAndTheRemoteCommandLine) {
    const fs::path dir = makeList("parallel");
    fs::create_directories(dir / "out");
    fs::create_directories(dir / "batch");
    const std::string list = (dir / "list.txt").string();
    Shell r =
        sh("cd " + dir.string() + " && parallel -j2 \"$CLI\" clean {} out/{/.}.wav :::: list.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(sh("$CLI batch -q " + (dir / "in").string() + " " + (dir / "batch").string()).status,
              0);
    for (const char* f : {"one.wav", "two words.wav", "three.wav"})
        EXPECT_EQ(readBytes((dir / "out" / f).string()), readBytes((dir / "batch" / f).string()))
            << f;
    // The remote form: each file sent to a host, cleaned there, the result brought back.
    r = sh("cd " + dir.string() +
           " && parallel --dryrun -vv -S 2/node1,2/node2 --trc {/.}.clean.wav silvane-cli clean {} "
           "{/.}.clean.wav"
           " :::: list.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("ssh node1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ssh node2"), std::string::npos);
    EXPECT_NE(r.out.find("rsync"), std::string::npos);
    EXPECT_NE(r.out.find("two words.clean.wav"), std::string::npos);
    // What runs on the host is carried hex-encoded; decoded it is our command.
    Shell decoded =
        sh("cd " + dir.string() +
           " && parallel --dryrun -vv -S 2/node1 --trc {/.}.clean.wav silvane-cli clean {} "
           "{/.}.clean.wav :::: list.txt | perl -ne 'print pack(q(H*), $1), qq(\\n) if /\\@ARGV "
           "([0-9a-f]+)/'");
    EXPECT_NE(decoded.out.find("silvane-cli clean " + (dir / "in" / "one.wav").string() +
                               " one.clean.wav"),
              std::string::npos)
        << decoded.out;
}

TEST(Recipes, SlurmArrayTasksAndMergedReports) {
    const fs::path dir = makeList("slurm");
    const std::string cmd = kScripts + "slurm-batch " + (dir / "list.txt").string() + " " +
                            (dir / "out").string() + " " + (dir / "reports").string();
    // Task 2 cleans the second line only, and reports that file.
    Shell r = sh("SLURM_ARRAY_TASK_ID=2 " + cmd);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "out" / "two words.wav"));
    EXPECT_FALSE(fs::exists(dir / "out" / "one.wav"));
    const auto rep = readBytes((dir / "reports" / "task-2.csv").string());
    const std::string text(rep.begin(), rep.end());
    EXPECT_NE(text.find((dir / "in" / "two words.wav").string() + ","), std::string::npos) << text;
    EXPECT_NE(text.find(",16000,1,7000,"), std::string::npos) << text;
    EXPECT_NE(text.find(",done,"), std::string::npos);
    // A finished task does nothing the second time.
    const auto before = fs::last_write_time(dir / "out" / "two words.wav");
    ASSERT_EQ(sh("SLURM_ARRAY_TASK_ID=2 " + cmd).status, 0);
    EXPECT_EQ(fs::last_write_time(dir / "out" / "two words.wav"), before);
    ASSERT_EQ(sh("SLURM_ARRAY_TASK_ID=1 " + cmd).status, 0);
    ASSERT_EQ(sh("SLURM_ARRAY_TASK_ID=3 " + cmd + " --method 1").status, 0);
    EXPECT_EQ(sh("SLURM_ARRAY_TASK_ID=4 " + cmd).status, 2);
    EXPECT_EQ(sh("SLURM_ARRAY_TASK_ID=0 " + cmd).status, 2);
    EXPECT_EQ(sh("unset SLURM_ARRAY_TASK_ID; " + cmd).status, 2);
    // FLAC through the clean options.
    ASSERT_EQ(sh("SLURM_ARRAY_TASK_ID=1 " + kScripts + "slurm-batch " +
                 (dir / "list.txt").string() + " " + (dir / "flac").string() + " " +
                 (dir / "flac-reports").string() + " --format flac")
                  .status,
              0);
    EXPECT_TRUE(fs::exists(dir / "flac" / "one.flac"));

    const std::string all = (dir / "all.csv").string();
    ASSERT_EQ(
        sh(kScripts + "merge-reports " + all + " " + (dir / "reports").string() + "/task-*.csv")
            .status,
        0);
    const auto merged = readBytes(all);
    const std::string m(merged.begin(), merged.end());
    EXPECT_EQ(std::count(m.begin(), m.end(), '\n'), 2 + 3);
    EXPECT_EQ(m.find("source,source_sha256"), m.rfind("source,source_sha256"));
    for (const char* f : {"one.wav", "two words.wav", "three.wav"})
        EXPECT_NE(m.find((dir / "in" / f).string() + ","), std::string::npos) << f;
}

} // namespace
