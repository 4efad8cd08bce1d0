#include "processing/Batch.h"

#include "base/Text.h"

#include <exception>

namespace processing {

int batchStartIndex(int count, int current) {
    if (count <= 0)
        return -1;
    return current >= 0 && current < count ? current : 0;
}

std::string batchResultName(const std::string& sourceName) {
    const std::size_t dot = sourceName.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        return sourceName + ".Wav";
    if (base::lowerAscii(sourceName.substr(dot + 1)) == "wav")
        return sourceName;
    return sourceName.substr(0, dot) + ".Wav";
}

int batchPercent(const BatchReport& r) {
    return r.total > 0 ? r.done * 100 / r.total : 0;
}

BatchReport runBatch(int count, int current, const BatchSteps& steps) {
    BatchReport r;
    r.first = batchStartIndex(count, current);
    if (r.first < 0)
        return r;
    r.total = count - r.first;
    for (int index = r.first; index < count; ++index) {
        if (steps.select)
            steps.select(index);
        const std::string name = steps.name ? steps.name(index) : std::to_string(index);
        std::string reason;
        BatchRead read = BatchRead::Unreadable;
        try {
            read = steps.readAndClean(index, reason);
        } catch (const std::exception& e) {
            read = BatchRead::Unreadable;
            reason = e.what();
        }
        if (read == BatchRead::Unreadable) {
            r.skipped.push_back({name, reason});
        } else if (read == BatchRead::Interrupted) {
            r.unwritten.push_back({name, reason});
        } else {
            reason.clear();
            bool saved = false;
            try {
                saved = steps.save(index, reason);
            } catch (const std::exception& e) {
                reason = e.what();
            }
            if (saved)
                ++r.written;
            else
                r.unwritten.push_back({name, reason});
        }
        ++r.done;
        if (read == BatchRead::Interrupted || (steps.cancelled && steps.cancelled())) {
            r.cancelled = true;
            break;
        }
        if (steps.progress)
            steps.progress(r);
    }
    return r;
}

} // namespace processing
