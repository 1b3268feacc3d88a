#pragma once
// The program's arguments as UTF-8. On Windows they are read as UTF-16 from the process's
// command line: the narrow argv holds them in the ANSI code page, with "?" for every
// character it lacks, so a Chinese file name on a Western system would be lost there.

#include <string>
#include <vector>

namespace bw {

class Utf8Arguments {
  public:
    Utf8Arguments(int argc, char** argv);
    Utf8Arguments(const Utf8Arguments&) = delete;
    Utf8Arguments& operator=(const Utf8Arguments&) = delete;

    int argc() const { return static_cast<int>(text_.size()); }
    char** argv() { return pointers_.data(); }  // ends with a null pointer, as argv does

  private:
    std::vector<std::string> text_;
    std::vector<char*> pointers_;
};

}  // namespace bw
