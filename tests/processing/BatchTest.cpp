// The batch's decisions without a window: what is written, what is skipped,
// and where it starts and ends.

#include "processing/Batch.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

using processing::BatchRead;
using processing::BatchReport;
using processing::BatchSteps;

namespace {

// A list of files, each read as given; records which were saved and whose
// signal was in hand when a save came.
struct FakeList {
    std::map<int, BatchRead> reads; // missing: Cleaned
    std::map<int, bool> saves;      // missing: true
    std::map<int, bool> throwsOnRead;
    int cancelAfter = -1;                   // cancel once this file is done
    int inHand = -1;                        // the file whose signal was last read
    std::vector<std::pair<int, int>> saved; // (file name index, signal of file)
    std::vector<int> progress;

    BatchSteps steps() {
        BatchSteps s;
        s.name = [](int i) { return "f" + std::to_string(i) + ".wav"; };
        s.readAndClean = [this](int i, std::string& reason) {
            if (throwsOnRead.count(i))
                throw std::runtime_error("Unknown format");
            const BatchRead r = reads.count(i) ? reads[i] : BatchRead::Cleaned;
            if (r == BatchRead::Unreadable)
                reason = "unreadable";
            else
                inHand = i;
            return r;
        };
        s.save = [this](int i, std::string& reason) {
            if (saves.count(i) && !saves[i]) {
                reason = "Permission denied";
                return false;
            }
            saved.push_back({i, inHand});
            return true;
        };
        s.cancelled = [this] { return cancelAfter >= 0 && inHand == cancelAfter; };
        s.progress = [this](const BatchReport& r) {
            progress.push_back(processing::batchPercent(r));
        };
        return s;
    }
};

} // namespace

TEST(Batch, StartsAtTheCurrentFileOrTheFirst) {
    EXPECT_EQ(processing::batchStartIndex(0, 0), -1);
    EXPECT_EQ(processing::batchStartIndex(0, -1), -1);
    EXPECT_EQ(processing::batchStartIndex(5, 2), 2);
    EXPECT_EQ(processing::batchStartIndex(5, -1), 0);
    EXPECT_EQ(processing::batchStartIndex(5, 5), 0); // a row of a longer, older list
}

TEST(Batch, EmptyListDoesNothing) {
    FakeList f;
    bool touched = false;
    BatchSteps s = f.steps();
    s.select = [&](int) { touched = true; };
    const BatchReport r = processing::runBatch(0, 0, s);
    EXPECT_FALSE(touched);
    EXPECT_EQ(r.first, -1);
    EXPECT_EQ(r.done, 0);
    EXPECT_TRUE(f.saved.empty());
}

TEST(Batch, EachFileIsSavedWithItsOwnSignalAndProgressCounts) {
    FakeList f;
    const BatchReport r = processing::runBatch(5, 2, f.steps());
    EXPECT_EQ(r.total, 3);
    EXPECT_EQ(r.written, 3);
    ASSERT_EQ(f.saved.size(), 3u);
    for (const auto& s : f.saved)
        EXPECT_EQ(s.first, s.second);
    EXPECT_EQ(f.progress, (std::vector<int>{33, 66, 100}));
}

TEST(Batch, UnreadableFileGetsNoResultAndTheBatchGoesOn) {
    FakeList f;
    f.reads[1] = BatchRead::Unreadable;
    f.throwsOnRead[2] = true;
    const BatchReport r = processing::runBatch(4, 0, f.steps());
    // Neither rejected file has the signal before it saved under its name.
    ASSERT_EQ(f.saved.size(), 2u);
    EXPECT_EQ(f.saved[0], std::make_pair(0, 0));
    EXPECT_EQ(f.saved[1], std::make_pair(3, 3));
    ASSERT_EQ(r.skipped.size(), 2u);
    EXPECT_EQ(r.skipped[0].file, "f1.wav");
    EXPECT_EQ(r.skipped[0].reason, "unreadable");
    EXPECT_EQ(r.skipped[1].reason, "Unknown format");
    EXPECT_TRUE(r.unwritten.empty());
    EXPECT_EQ(r.done, 4);
    EXPECT_FALSE(r.cancelled);
    EXPECT_EQ(f.progress.back(), 100);
}

TEST(Batch, UnwrittenResultsAreCollectedAndTheBatchGoesOn) {
    FakeList f;
    f.saves[0] = false;
    f.saves[2] = false;
    const BatchReport r = processing::runBatch(3, 0, f.steps());
    EXPECT_EQ(r.written, 1);
    ASSERT_EQ(r.unwritten.size(), 2u);
    EXPECT_EQ(r.unwritten[1].file, "f2.wav");
    EXPECT_EQ(r.unwritten[1].reason, "Permission denied");
    EXPECT_EQ(r.done, 3);
}

TEST(Batch, CancelEndsAfterTheCurrentFileAndAnInterruptedRunIsNotWritten) {
    FakeList f;
    f.cancelAfter = 1;
    BatchReport r = processing::runBatch(5, 0, f.steps());
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.written, 2); // cancel seen once file 1 was written
    EXPECT_EQ(r.done, 2);
    EXPECT_EQ(f.progress, (std::vector<int>{20}));

    FakeList g;
    g.reads[1] = BatchRead::Interrupted;
    r = processing::runBatch(5, 0, g.steps());
    EXPECT_TRUE(r.cancelled);
    ASSERT_EQ(g.saved.size(), 1u); // only file 0; the half-cleaned file 1 is left alone
    ASSERT_EQ(r.unwritten.size(), 1u);
    EXPECT_EQ(r.unwritten[0].file, "f1.wav");
}

TEST(Batch, ResultsOfOtherFormatsAreNamedAsWav) {
    EXPECT_EQ(processing::batchResultName("talk.wav"), "talk.wav"); // unchanged, as always
    EXPECT_EQ(processing::batchResultName("talk.WAV"), "talk.WAV");
    EXPECT_EQ(processing::batchResultName("talk.flac"), "talk.Wav");
    EXPECT_EQ(processing::batchResultName("a.b.MP3"), "a.b.Wav");
    EXPECT_EQ(processing::batchResultName("noext"), "noext.Wav");
    EXPECT_EQ(processing::batchResultName(".ogg"), ".ogg.Wav");
}
