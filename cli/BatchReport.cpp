#include "cli/BatchReport.h"

#include "base/SafeFile.h"

#include <cstdio>

namespace {

bool endsWith(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size())
        return false;
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i])
            return false;
    return true;
}

std::string csvField(const std::string& v) {
    if (v.find_first_of(",\"\r\n") == std::string::npos)
        return v;
    std::string out = "\"";
    for (char c : v)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string jsonString(const std::string& v) {
    std::string out = "\"";
    for (unsigned char c : v) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char b[8];
                std::snprintf(b, sizeof b, "\\u%04x", c);
                out += b;
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

std::string number(double v, const char* fmt) {
    char b[64];
    std::snprintf(b, sizeof b, fmt, v);
    return b;
}

} // namespace

bool reportFormatKnown(const std::string& path) {
    return endsWith(path, ".csv") || endsWith(path, ".json");
}

std::string describeSettingsLine(const processing::CleanOptions& o) {
    return processing::describeSettings(o);
}

bool writeReport(const std::string& path, const std::vector<ReportRecord>& records,
                 const std::string& settings, std::string& error) {
    SafeFileWriter out;
    std::FILE* f = out.open(path);
    if (!f) {
        error = out.error();
        return false;
    }
    const std::string version = processing::programVersion();
    if (endsWith(path, ".json")) {
        std::fprintf(f,
                     "{\n  \"program\": \"silvane-cli\",\n  \"version\": %s,\n  \"settings\": "
                     "%s,\n  \"files\": [",
                     jsonString(version).c_str(), jsonString(settings).c_str());
        for (std::size_t i = 0; i < records.size(); ++i) {
            const ReportRecord& r = records[i];
            std::fprintf(f,
                         "%s\n    {\"source\": %s, \"source_sha256\": %s, \"output\": %s, "
                         "\"output_sha256\": %s, "
                         "\"rate\": %u, \"channels\": %d, \"frames\": %lld, \"seconds\": %s, "
                         "\"processing_seconds\": %s, \"status\": %s, \"error\": %s}",
                         i ? "," : "", jsonString(r.source).c_str(),
                         jsonString(r.sourceSha256).c_str(), jsonString(r.output).c_str(),
                         jsonString(r.outputSha256).c_str(), unsigned(r.sampleRate), r.channels,
                         static_cast<long long>(r.frames), number(r.seconds, "%.3f").c_str(),
                         number(r.processSeconds, "%.3f").c_str(), jsonString(r.status).c_str(),
                         jsonString(r.error).c_str());
        }
        std::fprintf(f, "\n  ]\n}\n");
    } else {
        std::fprintf(f, "# silvane-cli %s; %s\n", version.c_str(), settings.c_str());
        std::fprintf(f, "source,source_sha256,output,output_sha256,rate,channels,frames,seconds,"
                        "processing_seconds,"
                        "status,error\n");
        for (const ReportRecord& r : records)
            std::fprintf(f, "%s,%s,%s,%s,%u,%d,%lld,%.3f,%.3f,%s,%s\n", csvField(r.source).c_str(),
                         r.sourceSha256.c_str(), csvField(r.output).c_str(), r.outputSha256.c_str(),
                         unsigned(r.sampleRate), r.channels, static_cast<long long>(r.frames),
                         r.seconds, r.processSeconds, r.status.c_str(), csvField(r.error).c_str());
    }
    if (!out.commit()) {
        error = out.error();
        return false;
    }
    return true;
}
