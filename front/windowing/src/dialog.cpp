#include "windowing/dialog.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QWheelEvent>
#include <memory>
#include <utility>

#include "windowing/controls.h"
#include "windowing/data_exchange.h"
#include "windowing/resources.h"
#include "windowing/win_app.h"

namespace windowing {

namespace {

QWidget* g_main_window = nullptr;

// Tab enters a radio group on its checked button (the first when none is
// checked) and leaves it with the next Tab; the arrow keys move inside it.
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

// Controls belong to their dialog, which deletes them with itself.
template <class Object, class... Args>
Object* owned_by(QWidget* owner, Args&&... args) {
    auto object = std::make_unique<Object>(std::forward<Args>(args)...);
    object->setParent(owner);
    return object.release();
}

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

Qt::Alignment text_alignment(unsigned style) {
    return ((style & align_right) != 0 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop;
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
    QButtonGroup* radio_group = nullptr;
    for (const auto& control : template_.controls) {
        QWidget* widget = create_control(control, radio_group);
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

QWidget* CDialog::create_control(const ControlTemplate& control, QButtonGroup*& radio_group) {
    const QString text = utf8(control.text);
    const bool is_tab_stop = (control.style & tab_stop) != 0;
    QRect rect = units_.to_pixels(control.x, control.y, control.width, control.height);
    QWidget* widget = nullptr;
    if (control.kind != ControlKind::radio_button) {
        radio_group = nullptr;
    }
    switch (control.kind) {
        case ControlKind::static_text: {
            auto* label = owned_by<QLabel>(this, text);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(text_alignment(control.style));
            widget = label;
            break;
        }
        case ControlKind::push_button: {
            auto* button = owned_by<QPushButton>(this, text);
            button->setAutoDefault(false);
            button->setDefault((control.style & default_button) != 0);
            connect(button, &QPushButton::clicked, this,
                    [this, id = control.id] { OnCommand(id, Notify::clicked); });
            widget = button;
            break;
        }
        case ControlKind::radio_button: {
            auto* button = owned_by<QRadioButton>(this, text);
            if (radio_group == nullptr || (control.style & starts_group) != 0) {
                radio_group = owned_by<QButtonGroup>(this);
            }
            radio_group->addButton(button);
            connect(button, &QRadioButton::clicked, this,
                    [this, id = control.id] { OnCommand(id, Notify::clicked); });
            connect(button, &QRadioButton::toggled, this,
                    [group = radio_group] { enter_group_on_checked(*group); });
            widget = button;
            break;
        }
        case ControlKind::group_box: {
            auto* box = owned_by<QGroupBox>(this, text);
            box->setAttribute(Qt::WA_TransparentForMouseEvents);
            // The title sits in the frame's top line, which runs through the
            // middle of the text, so the template's rectangles frame as intended.
            box->setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid);"
                                              " margin-top: %1px; }"
                                              "QGroupBox::title { subcontrol-origin: margin;"
                                              " left: %2px; padding: 0 2px; top: 0px; }")
                                   .arg(units_.char_height() / 2)
                                   .arg(units_.to_x(3)));
            widget = box;
            break;
        }
        case ControlKind::edit: {
            if ((control.style & multi_line) != 0) {
                auto* edit = owned_by<QTextEdit>(this);
                edit->setReadOnly((control.style & read_only) != 0);
                edit->setLineWrapMode(QTextEdit::NoWrap);
                edit->setAcceptRichText(false);
                edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                edit->document()->setDocumentMargin(0);
                QTextOption option = edit->document()->defaultTextOption();
                option.setAlignment((control.style & align_right) != 0 ? Qt::AlignRight
                                                                       : Qt::AlignLeft);
                edit->document()->setDefaultTextOption(option);
                if ((control.style & border) == 0) {
                    edit->setFrameShape(QFrame::NoFrame);
                }
                if (edit->isReadOnly()) {
                    // Read-only edits show the dialog's own background, as on the desktop.
                    QPalette palette = edit->palette();
                    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
                    edit->setPalette(palette);
                }
                widget = edit;
            } else {
                auto* edit = owned_by<QLineEdit>(this);
                edit->setFrame((control.style & border) != 0);
                edit->setReadOnly((control.style & read_only) != 0);
                widget = edit;
            }
            break;
        }
        case ControlKind::progress_bar: {
            auto* bar = owned_by<QProgressBar>(this);
            bar->setTextVisible(false);
            bar->setRange(0, 100);
            bar->setValue(0);
            widget = bar;
            break;
        }
        case ControlKind::static_icon: {
            auto* label = owned_by<QLabel>(this);
            // The control takes the icon's own size, whatever the template says.
            label->setPixmap(load_icon(text.toInt()).pixmap(32, 32));
            rect.setSize(QSize(32, 32));
            label->setAttribute(Qt::WA_TransparentForMouseEvents);
            widget = label;
            break;
        }
        case ControlKind::scroll_bar: {
            auto* bar = owned_by<QScrollBar>(this, Qt::Vertical);
            bar->setRange(0, 100);
            bar->setPageStep(1);
            // Where the user holds the thumb. The handler moves the bar while it is
            // dragged, so on release the bar's own position is the handler's, not
            // the drop point.
            auto held = std::make_shared<int>(0);
            connect(bar, &QAbstractSlider::sliderPressed, this,
                    [bar, held] { *held = bar->sliderPosition(); });
            connect(bar, &QAbstractSlider::actionTriggered, this, [this, bar, held](int action) {
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
                OnVerticalScroll(*code, static_cast<std::uint16_t>(thumb), &source);
            });
            connect(bar, &QAbstractSlider::sliderReleased, this, [this, bar, held] {
                CScrollBar source(bar);
                OnVerticalScroll(SB_THUMBPOSITION, static_cast<std::uint16_t>(*held), &source);
                OnVerticalScroll(SB_ENDSCROLL, 0, &source);
            });
            widget = bar;
            break;
        }
    }
    widget->setGeometry(rect);
    switch (control.kind) {
        case ControlKind::push_button:
        case ControlKind::radio_button:
            widget->setFocusPolicy(is_tab_stop || control.kind == ControlKind::radio_button
                                       ? Qt::StrongFocus
                                       : Qt::ClickFocus);
            break;
        case ControlKind::edit:
            widget->setFocusPolicy(is_tab_stop ? Qt::StrongFocus : Qt::ClickFocus);
            break;
        default:
            widget->setFocusPolicy(Qt::NoFocus);
            break;
    }
    return widget;
}

}  // namespace windowing
