#pragma once
// The automatic batch's decisions, kept apart from the window: where the
// batch starts, what a file that cannot be read or a result that cannot be
// written does to the rest, when it ends, and what is told at the end. The
// window supplies the steps (read and clean, save, progress, cancel).

#include <functional>
#include <string>
#include <vector>

namespace processing {

// A file of the list and why it was left without a result.
struct BatchProblem {
    std::string file;
    std::string reason;
};

struct BatchReport {
    int first = -1; // index the batch started from; -1 when nothing ran
    int total = 0;  // files from `first` to the last
    int done = 0;   // files taken in hand (written, skipped or not written)
    int written = 0;
    bool cancelled = false;
    std::vector<BatchProblem> skipped;   // not read: nothing was written for them
    std::vector<BatchProblem> unwritten; // read, but the result is not on disk
};

// What reading and cleaning one file came to.
enum class BatchRead {
    Cleaned,     // read and cleaned to its end: its result may be written
    Unreadable,  // not read (unknown format, unsupported encoding, gone)
    Interrupted, // read, but the run was cancelled before its end
};

struct BatchSteps {
    std::function<std::string(int index)> name; // the file's name, for the report
    std::function<void(int index)> select;      // shows which file is in hand
    // Reads file `index` as the original signal and cleans it; `reason` says
    // why when it is not Cleaned. An exception counts as Unreadable.
    std::function<BatchRead(int index, std::string& reason)> readAndClean;
    // Writes the cleaned signal of file `index`; false with `reason`.
    std::function<bool(int index, std::string& reason)> save;
    std::function<void(const BatchReport&)> progress; // after every file
    std::function<bool()> cancelled;                  // asked after every file
};

// The file the batch starts from: `current` when it is a file of the list,
// else the first; -1 for an empty list.
int batchStartIndex(int count, int current);

// Runs the batch over files first..count-1. A result is written only for a
// file that was read and cleaned to its end, so a file that could not be read
// never has another file's signal saved under its name, and a cancelled run
// never leaves a partly cleaned result (which would replace the source when
// the output directory is the source directory).
BatchReport runBatch(int count, int current, const BatchSteps& steps);

// The name a file's result is written under: a WAV source keeps its name,
// any other format gets ".Wav" in place of its extension (results are WAV).
std::string batchResultName(const std::string& sourceName);

// Progress label value: done x 100 / total (integer), 0 for an empty batch.
int batchPercent(const BatchReport& r);

} // namespace processing
