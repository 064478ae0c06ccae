#include "ui/config/EditIPAddr.h"

#include <string>

#include <QFocusEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include "security/IPAddrUtils.h"
#include "ui/Prompts.h"

namespace {

constexpr int kLastField = 3;
constexpr int kMaxOctet = 255;

bool IsDigitKey(int key)
{
    return key >= Qt::Key_0 && key <= Qt::Key_9;
}

/// The keypad's decimal key arrives as "." or, on some layouts, as ",".
bool IsDotKey(const QKeyEvent& event)
{
    if (event.key() == Qt::Key_Period)
        return true;
    return event.key() == Qt::Key_Comma && (event.modifiers() & Qt::KeypadModifier) != 0;
}

/// Keys that move the caret or leave the field; they never type anything.
bool IsNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        return true;
    default:
        return false;
    }
}

bool IsModifierKey(int key)
{
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt
           || key == Qt::Key_Meta;
}

/// Whether a key the control does not act on itself may reach the field: digits, Backspace
/// and Delete type; nothing types while Shift, Alt, Ctrl or the left mouse button is held.
bool MayReachField(const QKeyEvent& event)
{
    const int key = event.key();
    if (IsNavigationKey(key) || IsModifierKey(key))
        return true;
    if (event.matches(QKeySequence::Copy) || event.matches(QKeySequence::SelectAll))
        return true;
    const auto held = Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier;
    if ((event.modifiers() & held) != 0)
        return false;
    if ((QGuiApplication::mouseButtons() & Qt::LeftButton) != 0)
        return false;
    return IsDigitKey(key) || key == Qt::Key_Backspace || key == Qt::Key_Delete;
}

}  // namespace

CEditIPAddr::CEditIPAddr(QWidget* parent) : QFrame(parent), prompts_(&StandardPrompts())
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    BuildFields();
}

void CEditIPAddr::BuildFields()
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(0);
    // A field holds digits only, also when text is pasted or dropped into it.
    const QRegularExpression digits(QStringLiteral("[0-9]{0,3}"));
    for (int i = 0; i <= kLastField; ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("Field%1").arg(i));
        field->setFrame(false);
        field->setMaxLength(3);
        field->setAlignment(Qt::AlignCenter);
        field->setValidator(new QRegularExpressionValidator(digits, field));
        field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 4);
        // Tab enters the control at field 0 and leaves it from there; the other fields are
        // reached by typing or clicking.
        field->setFocusPolicy(i == 0 ? Qt::StrongFocus : Qt::ClickFocus);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i] { FieldEdited(i); });
        layout->addWidget(field);
        fields_[static_cast<std::size_t>(i)] = field;
        if (i < kLastField) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setObjectName(QStringLiteral("Dot%1").arg(i));
            dot->installEventFilter(this);
            layout->addWidget(dot);
            dots_[static_cast<std::size_t>(i)] = dot;
        }
    }
    layout->addStretch();
    setFocusProxy(fields_[0]);
}

void CEditIPAddr::SetPrompts(TPrompts& prompts)
{
    prompts_ = &prompts;
}

QString CEditIPAddr::Text()
{
    bool allEmpty = true;
    for (const auto* field : fields_)
        allEmpty = allEmpty && field->text().isEmpty();
    if (allEmpty)
        return {};

    QStringList octets;
    for (auto* field : fields_) {
        QString octet = field->text().isEmpty() ? QStringLiteral("0") : field->text();
        if (!acceptOctal_)
            octet = QString::number(octet.toInt());
        if (octet != field->text())
            field->setText(octet);
        octets << octet;
    }
    return octets.join(QLatin1Char('.'));
}

void CEditIPAddr::SetText(const QString& text)
{
    if (text.isEmpty()) {
        for (auto* field : fields_)
            field->clear();
        return;
    }
    const std::string address = text.toStdString();
    try {
        UIPAddrUtils::ValidateIPString(address);
    } catch (const EIPAddressError&) {
        throw EIPAddressError("Bad IP address string given to component");
    }
    for (int i = 0; i <= kLastField; ++i)
        fields_[static_cast<std::size_t>(i)]->setText(
            QString::number(UIPAddrUtils::GetOctet(address, i + 1)));
    fields_[0]->selectAll();
}

int CEditIPAddr::FieldIndex(const QObject* object) const
{
    for (int i = 0; i <= kLastField; ++i)
        if (fields_[static_cast<std::size_t>(i)] == object)
            return i;
    return -1;
}

int CEditIPAddr::DotIndex(const QObject* object) const
{
    for (int i = 0; i < kLastField; ++i)
        if (dots_[static_cast<std::size_t>(i)] == object)
            return i;
    return -1;
}

bool CEditIPAddr::eventFilter(QObject* watched, QEvent* event)
{
    const int field = FieldIndex(watched);
    if (field >= 0 && event->type() == QEvent::KeyPress)
        return FieldKeyPressed(field, static_cast<const QKeyEvent&>(*event));
    if (field == 0 && event->type() == QEvent::FocusIn && !navigating_) {
        // The control as a whole took the focus: field 0 gets it with its text selected.
        if (static_cast<const QFocusEvent*>(event)->reason() != Qt::MouseFocusReason)
            fields_[0]->selectAll();
        return false;
    }
    const int dot = DotIndex(watched);
    if (dot >= 0 && event->type() == QEvent::MouseButtonPress) {
        FocusField(dot, TCaret::End);
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

void CEditIPAddr::mousePressEvent(QMouseEvent* event)
{
    FocusField(kLastField, TCaret::End);
    event->accept();
}

/// Returns true when the key is used up here and must not reach the field.
bool CEditIPAddr::FieldKeyPressed(int field, const QKeyEvent& event)
{
    if (MovedByKey(field, event))
        return true;
    return !MayReachField(event);
}

bool CEditIPAddr::MovedByKey(int field, const QKeyEvent& event)
{
    const QLineEdit* edit = fields_[static_cast<std::size_t>(field)];
    const int caret = edit->cursorPosition();
    const bool atStart = caret == 0;
    const bool atEnd = caret == edit->text().size();
    switch (event.key()) {
    case Qt::Key_Right:
        if (field < kLastField && atEnd) {
            FocusField(field + 1, TCaret::Start);
            return true;
        }
        return false;
    case Qt::Key_Left:
        if (field > 0 && atStart) {
            FocusField(field - 1, TCaret::End);
            return true;
        }
        return false;
    case Qt::Key_Backspace:
        if (field > 0 && atStart && !edit->hasSelectedText()) {
            BackspaceIntoPrevious(field);
            return true;
        }
        return false;
    default:
        break;
    }
    if ((IsDotKey(event) || event.key() == Qt::Key_Space) && field < kLastField
        && !edit->text().isEmpty()) {
        FocusField(field + 1, TCaret::SelectAll);
        return true;
    }
    return false;
}

void CEditIPAddr::BackspaceIntoPrevious(int field)
{
    QLineEdit* previous = fields_[static_cast<std::size_t>(field - 1)];
    FocusField(field - 1, TCaret::End);
    // Setting the text leaves the caret at its end.
    if (!previous->text().isEmpty())
        previous->setText(previous->text().chopped(1));
}

void CEditIPAddr::FieldEdited(int field)
{
    QLineEdit* edit = fields_[static_cast<std::size_t>(field)];
    const QString typed = edit->text();
    if (!typed.isEmpty() && typed.toInt() > kMaxOctet) {
        edit->setText(QString::number(kMaxOctet));
        edit->selectAll();
        prompts_->ShowError(this, typed
                                      + QStringLiteral(" is not a valid entry. Please specify a "
                                                       "value between 0 and 255 for this field."));
        return;
    }
    if (field < kLastField && typed.size() == 3 && edit->cursorPosition() == 3)
        FocusField(field + 1, TCaret::Start);
}

void CEditIPAddr::FocusField(int field, TCaret caret)
{
    QLineEdit* edit = fields_[static_cast<std::size_t>(field)];
    navigating_ = true;
    edit->setFocus(Qt::OtherFocusReason);
    navigating_ = false;
    switch (caret) {
    case TCaret::Start:
        edit->setCursorPosition(0);
        break;
    case TCaret::End:
        edit->setCursorPosition(static_cast<int>(edit->text().size()));
        break;
    case TCaret::SelectAll:
        edit->selectAll();
        break;
    }
}
