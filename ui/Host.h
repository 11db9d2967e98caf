// SPDX-License-Identifier: GPL-3.0-or-later
// What a window system provides to the dialog framework. A host (Qt, Win32, or the scripted one
// the tests use) creates windows from the templates, shows them, forwards the user's actions to
// the dialog's Dispatch functions and runs its event loop; everything else (the modal protocol,
// the default commands, data exchange) is the framework's.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/Resource.h"

namespace sx::ui {

class CDialog;

// Text pulled from a control. exact is false when the control holds characters that the
// program's text cannot hold (they come back as '?').
struct ControlText {
    std::string bytes;
    bool exact = true;
};

struct Extent {
    int cx = 0, cy = 0;
};

// Painting a window the program draws itself: the minimized main window's icon, where the
// window system lets a program paint its minimized window.
class IPaintContext {
  public:
    virtual ~IPaintContext() = default;
    // Has the window system erase the background under the icon.
    virtual void EraseIconBackground() = 0;
    virtual Extent IconSize() const = 0;
    virtual Extent ClientSize() const = 0;
    virtual void DrawIcon(int x, int y, IconHandle icon) = 0;
};

// An entry of a menu: a command (its id and text, checked or not); an empty text is a separator.
struct MenuEntry {
    unsigned id = 0;
    std::string text;
    bool checked = false;
    bool enabled = true;
};

// The window of a dialog, as a host created it. Control ids are those of the template.
//
// Every modal window of a host (a dialog shown modally, a message box, the file dialog) keeps its
// owner disabled while it shows and enables it again before it goes, so that the window system
// makes the owner the active window again; the program's other windows the framework disables
// itself (ui::ModalScope).
class IDialogWindow {
  public:
    virtual ~IDialogWindow() = default;
    // Makes the window visible and active, with the focus on the first tab stop when asked. A
    // modal window disables its owner while it shows.
    virtual void Show(bool focusFirstTabStop, bool modal) = 0;
    // Takes the window off the screen: its dialog has ended. A modal window's owner is enabled
    // first and becomes the active window.
    virtual void Hide() = 0;
    // A disabled window takes no input but keeps painting.
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool IsEnabled() const = 0;

    virtual void SetText(int id, const std::string& text) = 0;
    virtual ControlText GetText(int id) const = 0;
    virtual void SetCheck(int id, bool checked) = 0;
    virtual bool GetCheck(int id) const = 0;
    // List boxes: entries are single-byte text; the framework keeps them sorted where the
    // template asks for it, so a host only inserts at the index it is given.
    virtual void ListReset(int id) = 0;
    virtual void ListInsert(int id, int index, const std::string& text) = 0;
    virtual int ListCount(int id) const = 0;
    virtual std::string ListText(int id, int index) const = 0;
    // Selects an entry, or clears the selection for -1. Never reported as a user's change.
    virtual void ListSetCurSel(int id, int index) = 0;
    virtual int ListCurSel(int id) const = 0;

    virtual void SetIcon(IconHandle icon, bool big) = 0;
    // Adds an entry to the window menu (or the host's stand-in for it); an empty text adds a
    // separator. Returns false when the window has no such menu.
    virtual bool AppendMenuEntry(unsigned id, const std::string& text) = 0;
    // Adds a submenu of entries there; choosing one is the window-menu command of its id.
    virtual bool AppendSubmenu(const std::string& text, const std::vector<MenuEntry>& entries) = 0;
    // A control's own menu, where the user asked for it (a right click, the menu key or Shift+F10
    // on the control): its entries, then a separator and the window menu's. Returns the id of an
    // entry of its own that was chosen, 0 for none; a window-menu entry is carried out as the
    // window menu's own.
    virtual unsigned ShowControlMenu(int id, const std::vector<MenuEntry>& entries) = 0;
    // The window system's own handling of a window-menu command (minimize, move, ...).
    virtual void PlatformSysCommand(unsigned id, std::intptr_t param) = 0;

    virtual bool IsMinimized() const = 0;
    // Begins painting the window; null where the window system draws minimized windows itself.
    virtual std::unique_ptr<IPaintContext> BeginPaint() = 0;
    // Leaves the painting to the window system.
    virtual void DefaultPaint() = 0;
};

// A place the file dialog offers beside its folders (a drive of the game's Wine prefix).
struct FilePlace {
    std::string label;     // "C:"
    std::string hostPath;  // where it lies on the host
};

// What the file-open dialog is asked for. Paths are the host's own.
struct FileDialogRequest {
    bool open = true;
    std::string defaultExt;
    std::string fileName;  // the initial text of the name box
    unsigned flags = 0;
    std::string filter;      // "Name (*.ext;*.ext2)|*.ext;*.ext2|All files (*.*)|*.*||"
    std::string title;       // the dialog's caption; empty: the host's own
    std::string initialDir;  // a host path
    std::vector<FilePlace> places;
};

// The window system. One host serves the process; tests install the scripted one.
class IHost {
  public:
    virtual ~IHost() = default;
    // Creates the dialog's window from its template, hidden, owned by owner (none: a window of
    // its own in the task bar). Null when the window cannot be made.
    virtual std::unique_ptr<IDialogWindow> CreateDialogWindow(CDialog& dlg,
                                                              IDialogWindow* owner) = 0;
    // Runs the event loop until done() holds. done is asked after every event and at least
    // every few tens of milliseconds. idle, when given, is called whenever no event is waiting;
    // while it returns true (it has more to do) the loop does not wait for events.
    virtual void RunUntil(const std::function<bool()>& done,
                          const std::function<bool()>& idle = {}) = 0;
    // Handles the events that are waiting, without waiting for more: work that runs on the
    // user-interface thread calls it between its steps.
    virtual void PumpEvents() = 0;
    // A modal message box over its owner; caption is the text shown in its caption bar. Without
    // an owner it comes to the front as a window of its own in the task bar.
    virtual int ShowMessageBox(IDialogWindow* owner, const std::string& text,
                               const std::string& caption, unsigned type) = 0;
    // The modal file-open dialog over its owner. Returns the chosen file as a host path, or
    // nothing when the user cancels.
    virtual std::optional<std::string> OpenFileDialog(IDialogWindow* owner,
                                                      const FileDialogRequest& request) = 0;
    // The modal file-open dialog that takes several files at once (OfnAllowMultiSelect): the
    // chosen files as host paths, none when the user cancels; tooMany when the user chose more
    // than the host could take.
    struct ChosenFiles {
        std::vector<std::string> paths;
        bool tooMany = false;
    };
    virtual ChosenFiles OpenFilesDialog(IDialogWindow* owner, const FileDialogRequest& request) {
        ChosenFiles chosen;
        if (std::optional<std::string> one = OpenFileDialog(owner, request)) chosen.paths.push_back(*one);
        return chosen;
    }
    // The application's name: the executable's file name without its extension.
    virtual std::string AppName() const = 0;
};

void SetHost(IHost* host);
IHost& Host();

}  // namespace sx::ui
