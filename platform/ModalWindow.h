#pragma once
#include <QDialog>
#include <memory>
#include <utility>

// How the program opens a window over another: modal, for this opening
// only. The window is deleted when it closes; one deleted meanwhile with
// its parent is not deleted twice. No window (nullptr) opens nothing and
// counts as rejected. Returns what the window's exec() returned.
int execModal(std::unique_ptr<QDialog> window);

// The same for a window made here from its constructor's arguments.
template <class Window, class... Args>
int execModal(Args &&...args)
{
    return execModal(std::make_unique<Window>(std::forward<Args>(args)...));
}
