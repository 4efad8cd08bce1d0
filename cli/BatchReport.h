#pragma once
// The report of a clean or a batch: one record per file, written as CSV or
// JSON (chosen by the report name's extension), with the program version and
// the settings once.

#include "processing/CleanFile.h"

#include <cstdint>
#include <string>
#include <vector>

struct ReportRecord {
    std::string source, sourceSha256;
    std::string output, outputSha256;
    uint32_t sampleRate = 0;
    int channels = 0;
    int64_t frames = 0;
    double seconds = 0;
    double processSeconds = 0;
    std::string status; // done, skipped, failed
    std::string error;
};

bool reportFormatKnown(const std::string& path);
std::string describeSettingsLine(const processing::CleanOptions& o);
// Writes the report atomically (a temporary file renamed when complete).
bool writeReport(const std::string& path, const std::vector<ReportRecord>& records,
                 const std::string& settings, std::string& error);
