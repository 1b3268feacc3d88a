#include "winapp/owned_window.h"

#include <memory>
#include <utility>

namespace bw::winapp {

using Work = std::function<void()>;

void PostWork(HWND window, Work work) {
    auto* posted = new Work(std::move(work));
    if (window == nullptr ||
        !PostMessageW(window, kPostedWork, 0, reinterpret_cast<LPARAM>(posted))) {
        delete posted;
    }
}

void RunPostedWork(LPARAM lParam) {
    const std::unique_ptr<Work> work(reinterpret_cast<Work*>(lParam));
    if (*work) (*work)();
}

void DropPostedWork(HWND window) {
    MSG left;
    while (PeekMessageW(&left, window, kPostedWork, kPostedWork, PM_REMOVE)) {
        delete reinterpret_cast<Work*>(left.lParam);
    }
}

}  // namespace bw::winapp
