#pragma once
// What the acceptance run found: one line per check (PASS, FAIL, or SKIP with its reason) on the
// console and in results.txt, a JUnit file for CI services, and a page with the screenshots.

#include <windows.h>

#include <string>
#include <vector>

enum class Verdict { Pass, Fail, Skip };

struct CheckResult {
    std::string name;    // stable, for CI services: "install.silent"
    Verdict verdict;
    std::wstring detail;  // what was seen, or why it failed or was skipped
    std::vector<std::wstring> screenshots;  // file names in the output folder
};

class Report {
public:
    explicit Report(std::wstring folder);
    const std::wstring& Folder() const { return folder_; }

    bool Fail(const std::string& name, const std::wstring& detail);  // false
    void Skip(const std::string& name, const std::wstring& reason);
    // Passes when ok, else fails; returns ok.
    bool Expect(const std::string& name, bool ok, const std::wstring& detail);
    // A picture of area of the screen, attached to the next check recorded.
    void Screenshot(const RECT& area, const std::wstring& title);
    void Note(const std::wstring& line);  // said before a change the run makes to the machine

    bool Failed() const;
    bool Written() const { return written_; }  // whether each file of the report was, last time
    std::string Summary() const;  // "N passed, N failed, N skipped"
private:
    int Count(Verdict verdict) const;
    // Writes results.txt, junit.xml and report.html.
    void Write();
    void Record(const std::string& name, Verdict verdict, const std::wstring& detail);
    std::wstring folder_;
    std::vector<CheckResult> results_;
    std::vector<std::wstring> pending_;  // screenshots for the next check
    std::vector<std::wstring> notes_;
    bool written_ = false;
};

std::string Utf8(const std::wstring& text);
std::wstring Widen(const std::string& text);
