/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// A modal dialog built from its template: the controls exist before InitWindow
// runs, commands go through the dialog's command table, and the run ends on the
// confirm (IDOK) or cancel (IDCANCEL) command.
#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>
#include <vector>

#include "windowing/command_ids.h"
#include "windowing/controls.h"
#include "windowing/dialog_template.h"
#include "windowing/dialog_units.h"
#include "windowing/system_menu.h"

class QKeyEvent;
class QWheelEvent;

namespace windowing {

class DataExchange;

// A key as the dialog's message filter sees it: `key` is the platform's key
// code (27 Escape, 13 Enter, 9 Tab) or the toolkit's code for other keys.
struct Message {
    int key;
    Qt::KeyboardModifiers modifiers;
    QObject* target;  // the control (or dialog) the key was sent to
};

class CDialog : public QDialog {
public:
    // Without an owner the program's main window owns the dialog.
    CDialog(const DialogTemplate& dialog_template, QWidget* owner);
    ~CDialog() override;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    int DoModal();
    // Builds the window and its controls and runs InitWindow without a modal run.
    bool Create();
    void EndDialog(int code);

    bool UpdateData(bool reading);
    QWidget* GetDlgItem(int id) const;
    // The scroll-bar control `id`, when there is one.
    std::optional<CScrollBar> GetScrollBar(int id) const;
    void SetWindowText(const QString& text) { setWindowTitle(text); }
    QString GetWindowText() const { return windowTitle(); }
    void SetIcon(const QIcon& icon, bool large);
    SystemMenu* GetSystemMenu() { return system_menu_ ? &*system_menu_ : nullptr; }
    const DialogUnits& units() const { return units_; }
    const DialogTemplate& dialog_template() const { return template_; }

    // Delivers a command as a control would; false when nothing handles it.
    bool SendCommand(int id, Notify notify = Notify::clicked) { return OnCommand(id, notify); }
    // Pops up the system menu at a global position; runs the chosen entry.
    void ShowSystemMenu(const QPoint& global_position);

    virtual void OnSystemCommand(unsigned id);
    virtual void OnVerticalScroll(unsigned code, std::uint16_t thumb, CScrollBar* bar);

protected:
    virtual void ExchangeFields(DataExchange& dx);
    virtual bool InitWindow();
    virtual bool OnCommand(int id, Notify notify);
    // Runs ahead of the dialog's keyboard handling; true when the key is used up.
    virtual bool FilterMessage(const Message& message);
    // Escape, Enter and the system-menu keys, as dialogs treat them.
    bool DialogKeyboard(const Message& message);
    virtual void OnOK();
    virtual void OnCancel();

    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct Control {
        int id;
        QWidget* widget;
    };

    void build_window();  // controls, then InitWindow; once
    void create_controls();
    // The wheel over the dialog scrolls its vertical scroll bar; false without one.
    bool wheel(const QWheelEvent& event);

    const DialogTemplate& template_;
    DialogUnits units_;
    std::vector<Control> controls_;
    std::optional<SystemMenu> system_menu_;
    bool created_ = false;
    int wheel_rest_ = 0;  // wheel turn not yet a whole notch
};

// The program's main window: owner of dialogs that are built without one.
QWidget* main_window();
void set_main_window(QWidget* window);

}  // namespace windowing
