#include "tests/acceptance/report.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "desktop/desktop.h"

namespace {

const char* Word(Verdict verdict) {
    return verdict == Verdict::Pass ? "PASS" : verdict == Verdict::Fail ? "FAIL" : "SKIP";
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;" : std::string(1, c);
    return out;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// A 32-bit top-down BMP of the screen's area.
bool SaveScreenArea(const RECT& area, const std::wstring& path) {
    const std::vector<std::uint32_t> pixels = CaptureScreen(area);
    if (pixels.empty()) return false;
    const DWORD size = static_cast<DWORD>(pixels.size() * sizeof pixels[0]);
    BITMAPINFOHEADER info{sizeof info, area.right - area.left, area.top - area.bottom, 1, 32, BI_RGB};
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof file + sizeof info) + size, 0, 0,
                          static_cast<DWORD>(sizeof file + sizeof info)};
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    bytes.append(reinterpret_cast<const char*>(pixels.data()), size);
    return WriteWholeFile(path, bytes);
}

}  // namespace

std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring Widen(const std::string& text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

Report::Report(std::wstring folder) : folder_(std::move(folder)) {}

void Report::Record(const std::string& name, Verdict verdict, const std::wstring& detail) {
    results_.push_back({name, verdict, detail, pending_});
    pending_.clear();
    const std::string line = std::string(Word(verdict)) + " " + name + (detail.empty() ? "" : ": " + Utf8(detail));
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    Write();
}

bool Report::Fail(const std::string& name, const std::wstring& detail) { return Expect(name, false, detail); }
void Report::Skip(const std::string& name, const std::wstring& reason) { Record(name, Verdict::Skip, reason); }

bool Report::Expect(const std::string& name, bool ok, const std::wstring& detail) {
    Record(name, ok ? Verdict::Pass : Verdict::Fail, detail);
    return ok;
}

void Report::Screenshot(const RECT& area, const std::wstring& title) {
    const std::wstring file = std::to_wstring(results_.size() + 1) + L"-" + title + L".bmp";
    if (SaveScreenArea(area, folder_ + L"\\" + file)) pending_.push_back(file);
}

void Report::Note(const std::wstring& line) {
    notes_.push_back(line);
    std::printf("  %s\n", Utf8(line).c_str());
    std::fflush(stdout);
}

bool Report::Failed() const { return Count(Verdict::Fail) > 0; }

int Report::Count(Verdict verdict) const {
    return static_cast<int>(std::count_if(results_.begin(), results_.end(), [&](const CheckResult& r) { return r.verdict == verdict; }));
}

std::string Report::Summary() const {
    return std::to_string(Count(Verdict::Pass)) + " passed, " + std::to_string(Count(Verdict::Fail)) + " failed, " +
           std::to_string(Count(Verdict::Skip)) + " skipped";
}

// Every file anew after each check, so that a run cut short still leaves its report.
void Report::Write() {
    std::ostringstream text, junit, page;
    junit << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n<testsuite name=\"KeslAcceptance\" tests=\""
          << results_.size() << "\" failures=\"" << Count(Verdict::Fail) << "\" skipped=\"" << Count(Verdict::Skip) << "\">\n";
    page << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>KeslWebATMMonitor acceptance</title>"
            "<style>body{font-family:sans-serif}td{vertical-align:top;padding:4px}.PASS{color:green}.FAIL{color:red}"
            ".SKIP{color:gray}img{max-width:480px;border:1px solid #ccc}</style></head><body>\n"
         << "<h1>KeslWebATMMonitor acceptance: " << (Failed() ? "FAILED" : "passed") << "</h1>\n<p>" << Summary() << "</p>\n"
         << "<h2>What the run did to this machine</h2><ul>\n";
    for (const std::wstring& n : notes_) page << "<li>" << Escaped(Utf8(n)) << "</li>\n";
    page << "</ul>\n<table>\n";
    for (const CheckResult& r : results_) {
        const std::string detail = Utf8(r.detail);
        text << Word(r.verdict) << ' ' << r.name << (detail.empty() ? "" : ": " + detail) << "\r\n";
        junit << "  <testcase classname=\"KeslAcceptance\" name=\"" << Escaped(r.name) << "\">";
        if (r.verdict == Verdict::Pass) junit << "<system-out>" << Escaped(detail) << "</system-out></testcase>\n";
        else junit << "<" << (r.verdict == Verdict::Fail ? "failure" : "skipped") << " message=\"" << Escaped(detail) << "\"/></testcase>\n";
        page << "<tr><td class=\"" << Word(r.verdict) << "\">" << Word(r.verdict) << "</td><td>" << Escaped(r.name)
             << "</td><td>" << Escaped(detail);
        for (const std::wstring& s : r.screenshots) page << "<br><img src=\"" << Escaped(Utf8(s)) << "\" alt=\"" << Escaped(Utf8(s)) << "\">";
        page << "</td></tr>\n";
    }
    junit << "</testsuite>\n</testsuites>\n";
    page << "</table></body></html>\n";
    written_ = WriteWholeFile(folder_ + L"\\results.txt", text.str()) && WriteWholeFile(folder_ + L"\\junit.xml", junit.str()) &&
               WriteWholeFile(folder_ + L"\\report.html", page.str());
}
