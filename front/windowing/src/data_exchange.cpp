// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Field exchange: writing fields to controls, reading them back with validation.
#include "windowing/data_exchange.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>

#include <limits>

#include "windowing/controls.h"
#include "windowing/dialog.h"
#include "windowing/number_text.h"
#include "windowing/prompts.h"

namespace windowing {

namespace {

// The whole text of a label that shows it cut.
constexpr const char* full_text = "quillonFullText";

QString control_text(QWidget* widget) {
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return edit->text();
    }
    if (auto* edit = qobject_cast<QTextEdit*>(widget)) {
        // Multi-line edits hand their lines back ended by CR LF.
        return edit->toPlainText().replace(u'\n', QStringLiteral("\r\n"));
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        const QVariant full = label->property(full_text);
        return full.isValid() ? full.toString() : label->text();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return button->text();
    }
    if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        return box->title();
    }
    return {};
}

void set_control_text(QWidget* widget, const QString& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(text);
    } else if (auto* edit = qobject_cast<QTextEdit*>(widget)) {
        QString lines = text;
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        edit->setPlainText(lines);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        // A status line too short for its text shows it cut with an ellipsis and
        // tells the whole text on hover; reading the control gives the whole text.
        const QFontMetrics metrics(label->font());
        const bool clipped = metrics.horizontalAdvance(text) > label->width();
        label->setText(clipped ? metrics.elidedText(text, Qt::ElideRight, label->width()) : text);
        label->setProperty(full_text, clipped ? QVariant(text) : QVariant());
        label->setToolTip(clipped ? text : QString());
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        box->setTitle(text);
    }
}

// The buttons of the radio group that starts at `first_id`, in template order.
std::vector<QAbstractButton*> radio_group(const CDialog& dialog, int first_id) {
    std::vector<QAbstractButton*> buttons;
    auto* first = qobject_cast<QAbstractButton*>(dialog.GetDlgItem(first_id));
    if (first == nullptr) {
        return buttons;
    }
    if (QButtonGroup* group = first->group()) {
        for (QAbstractButton* button : group->buttons()) {
            buttons.push_back(button);
        }
    } else {
        buttons.push_back(first);
    }
    return buttons;
}

}  // namespace

void DataExchange::fail(const QString& message) {
    failed_ = true;
    message_box(message);
    QWidget* field = dialog_.GetDlgItem(last_id_);
    if (field != nullptr) {
        field->setFocus();
        if (auto* edit = qobject_cast<QLineEdit*>(field)) {
            edit->selectAll();
        }
    }
}

void exchange_control(DataExchange& dx, int id, CProgressCtrl& control) {
    if (!control.attached()) {
        control.attach(qobject_cast<QProgressBar*>(dx.dialog().GetDlgItem(id)));
    }
}

void exchange_text(DataExchange& dx, int id, QString& value) {
    if (dx.skip()) {
        return;
    }
    dx.prepare(id);
    QWidget* widget = dx.dialog().GetDlgItem(id);
    if (widget == nullptr) {
        return;
    }
    if (dx.reading()) {
        value = control_text(widget);
    } else {
        set_control_text(widget, value);
    }
}

namespace {

// Both widths follow the number rule; a value the field's type can't hold fails
// with that field's own message.
template <typename Unsigned>
void exchange_unsigned(DataExchange& dx, int id, Unsigned& value, const char* message) {
    if (dx.skip()) {
        return;
    }
    dx.prepare(id);
    QWidget* widget = dx.dialog().GetDlgItem(id);
    if (widget == nullptr) {
        return;
    }
    if (!dx.reading()) {
        set_control_text(widget, QString::number(value));
        return;
    }
    const auto number = parse_field_number(control_text(widget));
    bool fits = number.has_value();
    if constexpr (sizeof(Unsigned) < sizeof(std::uint32_t)) {
        fits = fits && *number <= std::numeric_limits<Unsigned>::max();
    }
    if (!fits) {
        dx.fail(QString::fromUtf8(message));
        return;
    }
    value = static_cast<Unsigned>(*number);
}

}  // namespace

void exchange_number(DataExchange& dx, int id, std::uint32_t& value) {
    exchange_unsigned(dx, id, value, msg_positive_number);
}

void exchange_number(DataExchange& dx, int id, std::uint8_t& value) {
    exchange_unsigned(dx, id, value, msg_byte);
}

void validate_range(DataExchange& dx, std::uint32_t value, std::uint32_t lower,
                    std::uint32_t upper) {
    if (!dx.reading() || dx.failed()) {
        return;
    }
    if (value < lower || value > upper) {
        dx.fail(QString::fromUtf8(msg_range).arg(lower).arg(upper));
    }
}

void exchange_radio(DataExchange& dx, int first_id, int& index) {
    if (dx.skip()) {
        return;
    }
    dx.prepare(first_id);
    const auto buttons = radio_group(dx.dialog(), first_id);
    if (dx.reading()) {
        index = -1;
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            if (buttons[i]->isChecked()) {
                index = static_cast<int>(i);
                break;
            }
        }
        return;
    }
    // An exclusive group refuses to uncheck its last button; -1 must leave none checked.
    QButtonGroup* group = buttons.empty() ? nullptr : buttons.front()->group();
    if (group != nullptr) {
        group->setExclusive(false);
    }
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        buttons[i]->setChecked(static_cast<int>(i) == index);
    }
    if (group != nullptr) {
        group->setExclusive(true);
    }
}

}  // namespace windowing
