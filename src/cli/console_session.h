#pragma once
// The console the command line runs in. On Windows: output in UTF-8 (the code page is put
// back at the end), and QuickEdit off while the command runs, since a click that selects
// text in the window holds every write to it, and a gang station's workers print their
// mice. Elsewhere the terminal needs none of this.

namespace bw {

class ConsoleSession {
  public:
    static constexpr const char* kStartedAlone =
        "binwright is a command-line program: open a Command Prompt or PowerShell window,\n"
        "go to the folder of your image and run, for example,\n"
        "  binwright write image.bin\n"
        "  binwright run image.bin --log production.csv\n"
        "README-windows.txt (in the installation folder) says more.";

    ConsoleSession();
    ~ConsoleSession();
    ConsoleSession(const ConsoleSession&) = delete;
    ConsoleSession& operator=(const ConsoleSession&) = delete;

    // True when the console window was made for this program alone: started from Explorer
    // with a double click, it closes as soon as the program ends.
    bool ownsWindow() const;
    // Says so on stdout and waits for a key, so that what was printed can be read.
    void waitForKey() const;

#ifdef _WIN32
  private:
    unsigned outputCodePage_ = 0;
    unsigned long inputMode_ = 0;
    bool inputModeSet_ = false;
#endif
};

}  // namespace bw
