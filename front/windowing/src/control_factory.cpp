// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// One factory per control kind, from template rows to Qt widgets.
#include "control_factory.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextEdit>
#include <array>
#include <memory>
#include <optional>
#include <utility>

#include "windowing/command_ids.h"
#include "windowing/controls.h"
#include "windowing/dialog.h"
#include "windowing/resources.h"

namespace windowing {

namespace {

// Controls belong to their dialog, which deletes them with itself.
template <class Object, class... Args>
Object* owned_by(QWidget* owner, Args&&... args) {
    auto object = std::make_unique<Object>(std::forward<Args>(args)...);
    object->setParent(owner);
    return object.release();
}

QString text_of(const ControlTemplate& control) {
    return QString::fromUtf8(control.text.data(), static_cast<qsizetype>(control.text.size()));
}

bool has(const ControlTemplate& control, unsigned style) {
    return (control.style & style) != 0;
}

std::optional<unsigned> scroll_code(int action) {
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            return SB_LINEUP;
        case QAbstractSlider::SliderSingleStepAdd:
            return SB_LINEDOWN;
        case QAbstractSlider::SliderPageStepSub:
            return SB_PAGEUP;
        case QAbstractSlider::SliderPageStepAdd:
            return SB_PAGEDOWN;
        case QAbstractSlider::SliderMove:
            return SB_THUMBTRACK;
        case QAbstractSlider::SliderToMinimum:
            return SB_TOP;
        case QAbstractSlider::SliderToMaximum:
            return SB_BOTTOM;
        default:
            return std::nullopt;
    }
}

QWidget* make_static_text(const ControlTemplate& control, ControlBuild& build) {
    auto* label = owned_by<QLabel>(&build.dialog, text_of(control));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment((has(control, align_right) ? Qt::AlignRight : Qt::AlignLeft) |
                        Qt::AlignTop);
    return label;
}

QWidget* make_push_button(const ControlTemplate& control, ControlBuild& build) {
    auto* button = owned_by<QPushButton>(&build.dialog, text_of(control));
    button->setAutoDefault(false);
    button->setDefault(has(control, default_button));
    QObject::connect(button, &QPushButton::clicked, &build.dialog,
                     [dialog = &build.dialog, id = control.id] { dialog->SendCommand(id); });
    return button;
}

QWidget* make_radio_button(const ControlTemplate& control, ControlBuild& build) {
    auto* button = owned_by<QRadioButton>(&build.dialog, text_of(control));
    if (build.radio_group == nullptr || has(control, starts_group)) {
        build.radio_group = owned_by<QButtonGroup>(&build.dialog);
    }
    build.radio_group->addButton(button);
    QObject::connect(button, &QRadioButton::clicked, &build.dialog,
                     [dialog = &build.dialog, id = control.id] { dialog->SendCommand(id); });
    QObject::connect(button, &QRadioButton::toggled, &build.dialog,
                     [group = build.radio_group] { enter_group_on_checked(*group); });
    return button;
}

QWidget* make_group_box(const ControlTemplate& control, ControlBuild& build) {
    auto* box = owned_by<QGroupBox>(&build.dialog, text_of(control));
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
    // The title sits in the frame's top line, which runs through the middle of
    // the text, so the template's rectangles frame as intended.
    box->setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid);"
                                      " margin-top: %1px; }"
                                      "QGroupBox::title { subcontrol-origin: margin;"
                                      " left: %2px; padding: 0 2px; top: 0px; }")
                           .arg(build.units.char_height() / 2)
                           .arg(build.units.to_x(3)));
    return box;
}

QWidget* make_multi_line_edit(const ControlTemplate& control, ControlBuild& build) {
    auto* edit = owned_by<QTextEdit>(&build.dialog);
    edit->setReadOnly(has(control, read_only));
    edit->setLineWrapMode(QTextEdit::NoWrap);
    edit->setAcceptRichText(false);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->document()->setDocumentMargin(0);
    QTextOption option = edit->document()->defaultTextOption();
    option.setAlignment(has(control, align_right) ? Qt::AlignRight : Qt::AlignLeft);
    edit->document()->setDefaultTextOption(option);
    if (!has(control, border)) {
        edit->setFrameShape(QFrame::NoFrame);
    }
    if (edit->isReadOnly()) {
        // Read-only edits show the dialog's own background, as on the desktop.
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
        edit->setPalette(palette);
    }
    return edit;
}

QWidget* make_edit(const ControlTemplate& control, ControlBuild& build) {
    if (has(control, multi_line)) {
        return make_multi_line_edit(control, build);
    }
    auto* edit = owned_by<QLineEdit>(&build.dialog);
    edit->setFrame(has(control, border));
    edit->setReadOnly(has(control, read_only));
    return edit;
}

QWidget* make_progress_bar(const ControlTemplate& /*control*/, ControlBuild& build) {
    auto* bar = owned_by<QProgressBar>(&build.dialog);
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    bar->setValue(0);
    return bar;
}

QWidget* make_static_icon(const ControlTemplate& control, ControlBuild& build) {
    auto* label = owned_by<QLabel>(&build.dialog);
    label->setPixmap(load_icon(text_of(control).toInt()).pixmap(32, 32));
    label->resize(32, 32);  // the icon's own size, whatever the template says
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

QWidget* make_scroll_bar(const ControlTemplate& /*control*/, ControlBuild& build) {
    auto* bar = owned_by<QScrollBar>(&build.dialog, Qt::Vertical);
    bar->setRange(0, 100);
    bar->setPageStep(1);
    CDialog* dialog = &build.dialog;
    // Where the user holds the thumb. The handler moves the bar while it is
    // dragged, so on release the bar's own position is the handler's, not the
    // drop point.
    auto held = std::make_shared<int>(0);
    QObject::connect(bar, &QAbstractSlider::sliderPressed, dialog,
                     [bar, held] { *held = bar->sliderPosition(); });
    QObject::connect(
        bar, &QAbstractSlider::actionTriggered, dialog, [dialog, bar, held](int action) {
            const auto code = scroll_code(action);
            if (!code) {
                return;
            }
            const int thumb = bar->sliderPosition();
            if (*code == SB_THUMBTRACK) {
                *held = thumb;
            } else {
                // The handler, not the bar, decides where the bar goes.
                bar->setSliderPosition(bar->value());
            }
            CScrollBar source(bar);
            dialog->OnVerticalScroll(*code, static_cast<std::uint16_t>(thumb), &source);
        });
    QObject::connect(bar, &QAbstractSlider::sliderReleased, dialog, [dialog, bar, held] {
        CScrollBar source(bar);
        dialog->OnVerticalScroll(SB_THUMBPOSITION, static_cast<std::uint16_t>(*held), &source);
        dialog->OnVerticalScroll(SB_ENDSCROLL, 0, &source);
    });
    return bar;
}

// Per kind: its factory, whether it keeps its own size, and its focus policy
// with and without the tab-stop style (the platform's dialog manager reaches
// only tab stops with Tab; a click focuses any control that takes input).
struct Factory {
    ControlKind kind;
    QWidget* (*make)(const ControlTemplate&, ControlBuild&);
    bool own_size;
    Qt::FocusPolicy tab_stop_focus;
    Qt::FocusPolicy other_focus;
};

constexpr std::array factories{
    Factory{ControlKind::static_text, &make_static_text, false, Qt::NoFocus, Qt::NoFocus},
    Factory{ControlKind::push_button, &make_push_button, false, Qt::StrongFocus, Qt::ClickFocus},
    Factory{ControlKind::group_box, &make_group_box, false, Qt::NoFocus, Qt::NoFocus},
    Factory{ControlKind::edit, &make_edit, false, Qt::StrongFocus, Qt::ClickFocus},
    Factory{ControlKind::progress_bar, &make_progress_bar, false, Qt::NoFocus, Qt::NoFocus},
    Factory{ControlKind::static_icon, &make_static_icon, true, Qt::NoFocus, Qt::NoFocus},
    // Radio buttons: enter_group_on_checked decides which of a group Tab reaches.
    Factory{ControlKind::radio_button, &make_radio_button, false, Qt::StrongFocus, Qt::StrongFocus},
    Factory{ControlKind::scroll_bar, &make_scroll_bar, false, Qt::NoFocus, Qt::NoFocus},
};

const Factory& factory_for(ControlKind kind) {
    for (const Factory& factory : factories) {
        if (factory.kind == kind) {
            return factory;
        }
    }
    return factories.front();  // every kind has its row; this is never reached
}

}  // namespace

QWidget* create_control(const ControlTemplate& control, ControlBuild& build) {
    if (control.kind != ControlKind::radio_button) {
        build.radio_group = nullptr;
    }
    const Factory& factory = factory_for(control.kind);
    QWidget* widget = factory.make(control, build);
    QRect rect = build.units.to_pixels(control.x, control.y, control.width, control.height);
    if (factory.own_size) {
        rect.setSize(widget->size());
    }
    widget->setGeometry(rect);
    widget->setFocusPolicy(has(control, tab_stop) ? factory.tab_stop_focus : factory.other_focus);
    return widget;
}

void enter_group_on_checked(const QButtonGroup& group) {
    const QList<QAbstractButton*> buttons = group.buttons();
    const QAbstractButton* entry = group.checkedButton();
    if (entry == nullptr && !buttons.isEmpty()) {
        entry = buttons.constFirst();
    }
    for (QAbstractButton* button : buttons) {
        button->setFocusPolicy(button == entry ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

}  // namespace windowing
