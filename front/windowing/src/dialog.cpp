// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Modal dialogs from templates: building, command dispatch, the end of a run.
#include "windowing/dialog.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QWheelEvent>

#include "control_factory.h"
#include "windowing/controls.h"
#include "windowing/data_exchange.h"
#include "windowing/win_app.h"

namespace windowing {

namespace {

QWidget* g_main_window = nullptr;

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int key_code(const QKeyEvent& event) {
    switch (event.key()) {
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 13;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return 9;
        default:
            return event.key();
    }
}

}  // namespace

QWidget* main_window() {
    return g_main_window;
}

void set_main_window(QWidget* window) {
    g_main_window = window;
}

CDialog::CDialog(const DialogTemplate& dialog_template, QWidget* owner)
    : QDialog(owner != nullptr ? owner : main_window()),
      template_(dialog_template),
      units_(dialog_font(dialog_template.font_family, dialog_template.point_size)) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (template_.system_menu) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        system_menu_.emplace();
    }
    setWindowFlags(flags);
    setFont(dialog_font(template_.font_family, template_.point_size));
    setWindowTitle(utf8(template_.title));
    setFixedSize(units_.to_x(template_.width), units_.to_y(template_.height));
}

CDialog::~CDialog() {
    if (g_main_window == this) {
        g_main_window = nullptr;
    }
}

int CDialog::DoModal() {
    // The modal run shows the window itself: shown earlier, it would not be modal.
    build_window();
    return exec();
}

bool CDialog::Create() {
    build_window();
    show();
    return true;
}

void CDialog::build_window() {
    if (created_) {
        return;
    }
    created_ = true;
    create_controls();
    if (InitWindow()) {
        for (const auto& control : controls_) {
            if (control.widget->focusPolicy() & Qt::TabFocus) {
                control.widget->setFocus();
                break;
            }
        }
    }
}

void CDialog::EndDialog(int code) {
    done(code);
}

bool CDialog::UpdateData(bool reading) {
    DataExchange dx(*this, reading);
    ExchangeFields(dx);
    return !dx.failed();
}

QWidget* CDialog::GetDlgItem(int id) const {
    for (const auto& control : controls_) {
        if (control.id == id) {
            return control.widget;
        }
    }
    return nullptr;
}

std::optional<CScrollBar> CDialog::GetScrollBar(int id) const {
    if (auto* bar = qobject_cast<QScrollBar*>(GetDlgItem(id))) {
        return CScrollBar(bar);
    }
    return std::nullopt;
}

void CDialog::SetIcon(const QIcon& icon, bool /*large*/) {
    // One icon object carries both sizes; the window manager picks the one it shows.
    setWindowIcon(icon);
}

void CDialog::ShowSystemMenu(const QPoint& global_position) {
    if (!system_menu_) {
        return;
    }
    QMenu menu(this);
    for (const auto& entry : system_menu_->entries()) {
        if (entry.id == 0 && entry.text.isEmpty()) {
            menu.addSeparator();
        } else {
            menu.addAction(entry.text)->setData(entry.id);
        }
    }
    std::optional<unsigned> chosen;
    connect(&menu, &QMenu::triggered, this,
            [&chosen](const QAction* action) { chosen = action->data().toUInt(); });
    menu.exec(global_position);
    if (chosen) {
        OnSystemCommand(*chosen);
    }
}

void CDialog::OnSystemCommand(unsigned id) {
    if ((id & 0xFFF0) == SC_CLOSE) {
        OnCommand(IDCANCEL, Notify::clicked);
    }
}

void CDialog::OnVerticalScroll(unsigned /*code*/, std::uint16_t /*thumb*/, CScrollBar* /*bar*/) {}

void CDialog::ExchangeFields(DataExchange& /*dx*/) {}

bool CDialog::InitWindow() {
    UpdateData(false);
    return true;
}

bool CDialog::OnCommand(int id, Notify notify) {
    if (notify != Notify::clicked) {
        return false;
    }
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

bool CDialog::FilterMessage(const Message& message) {
    return DialogKeyboard(message);
}

bool CDialog::DialogKeyboard(const Message& message) {
    if (message.key == 27) {
        OnCommand(IDCANCEL, Notify::clicked);
        return true;
    }
    if (message.key == 13) {
        // Enter on a push button is that button's click; elsewhere it confirms.
        if (auto* button = qobject_cast<QPushButton*>(message.target)) {
            button->click();
        } else {
            OnCommand(IDOK, Notify::clicked);
        }
        return true;
    }
    if (message.key == Qt::Key_Menu ||
        (message.key == Qt::Key_F10 && (message.modifiers & Qt::ShiftModifier))) {
        auto* target = qobject_cast<QWidget*>(message.target);
        QWidget* anchor = target != nullptr ? target : this;
        ShowSystemMenu(anchor->mapToGlobal(QPoint(0, anchor->height())));
        return true;
    }
    if (message.key == Qt::Key_F1 && CWinApp::current() != nullptr) {
        return CWinApp::current()->OnCommand(ID_HELP);
    }
    return false;
}

void CDialog::OnOK() {
    if (UpdateData(true)) {
        EndDialog(IDOK);
    }
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

bool CDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel && wheel(*static_cast<QWheelEvent*>(event))) {
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (FilterMessage({key_code(*key), key->modifiers(), watched})) {
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool CDialog::wheel(const QWheelEvent& event) {
    QScrollBar* bar = nullptr;
    for (const auto& control : controls_) {
        bar = qobject_cast<QScrollBar*>(control.widget);
        if (bar != nullptr && bar->orientation() == Qt::Vertical) {
            break;
        }
        bar = nullptr;
    }
    if (bar == nullptr) {
        return false;
    }
    // Anywhere over the dialog, each notch (120 eighths of a degree; touchpads
    // send less at a time) is one line up or down on its vertical scroll bar.
    constexpr int notch = 120;
    wheel_rest_ += event.angleDelta().y();
    CScrollBar source(bar);
    for (; wheel_rest_ >= notch; wheel_rest_ -= notch) {
        OnVerticalScroll(SB_LINEUP, 0, &source);
    }
    for (; wheel_rest_ <= -notch; wheel_rest_ += notch) {
        OnVerticalScroll(SB_LINEDOWN, 0, &source);
    }
    return true;
}

void CDialog::keyPressEvent(QKeyEvent* event) {
    // Keys reach here only when no control took them; the filter has already
    // given them their dialog meaning, so nothing closes the dialog behind its back.
    event->ignore();
}

void CDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    OnSystemCommand(SC_CLOSE);
}

void CDialog::contextMenuEvent(QContextMenuEvent* event) {
    ShowSystemMenu(event->globalPos());
}

void CDialog::create_controls() {
    installEventFilter(this);
    ControlBuild build{*this, units_};
    for (const auto& control : template_.controls) {
        QWidget* widget = create_control(control, build);
        widget->installEventFilter(this);
        if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) {
            area->viewport()->installEventFilter(this);  // the wheel arrives there
        }
        controls_.push_back({control.id, widget});
    }
    for (const auto& control : controls_) {
        // Group boxes stay behind the controls they frame and never take their clicks.
        if (qobject_cast<QGroupBox*>(control.widget) != nullptr) {
            control.widget->lower();
        }
        if (auto* radio = qobject_cast<QRadioButton*>(control.widget); radio && radio->group()) {
            enter_group_on_checked(*radio->group());
        }
    }
}

}  // namespace windowing
