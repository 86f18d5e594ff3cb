/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Moving a dialog's fields to its controls (writing) or back with validation
// (reading). On reading, the first failure shows its message, puts the focus on
// the failing field with all its text selected, and every later helper is skipped.
#pragma once

#include <QString>
#include <cstdint>

namespace windowing {

class CDialog;
class CProgressCtrl;

class DataExchange {
public:
    DataExchange(CDialog& dialog, bool reading) : dialog_(dialog), reading_(reading) {}

    bool reading() const { return reading_; }
    bool failed() const { return failed_; }
    // Reading goes on only while nothing has failed; writing always goes on.
    bool skip() const { return reading_ && failed_; }

    CDialog& dialog() const { return dialog_; }
    void prepare(int id) { last_id_ = id; }
    void fail(const QString& message);

private:
    CDialog& dialog_;
    bool reading_;
    bool failed_ = false;
    int last_id_ = 0;
};

// The three validation texts.
inline constexpr const char* msg_positive_number = "Geben Sie bitte eine positive ganze Zahl ein.";
inline constexpr const char* msg_byte = "Geben Sie bitte eine ganze Zahl zwischen 0 und 255 ein.";
inline constexpr const char* msg_range = "Geben Sie bitte eine ganze Zahl zwischen %1 und %2 ein.";

void exchange_control(DataExchange& dx, int id, CProgressCtrl& control);
void exchange_text(DataExchange& dx, int id, QString& value);
void exchange_number(DataExchange& dx, int id, std::uint32_t& value);
void exchange_number(DataExchange& dx, int id, std::uint8_t& value);
// Checks the value last read; stored already, whatever the outcome.
void validate_range(DataExchange& dx, std::uint32_t value, std::uint32_t lower,
                    std::uint32_t upper);
// Index of the checked button of the radio group that starts at `first_id`, -1 for none.
void exchange_radio(DataExchange& dx, int first_id, int& index);

}  // namespace windowing
