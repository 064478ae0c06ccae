#pragma once

#include <array>

#include <QFrame>
#include <QString>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QMouseEvent;
class TPrompts;

/// The four-field entry in which the operator types an IPv4 address, a network ID or a
/// subnet mask: four fields of up to three digits with a "." between them. Typing moves
/// from field to field as a person expects ("." or three digits go on, Backspace at the
/// start goes back), and a field never keeps a value above 255. Owned by its dialog; GUI
/// thread only.
class CEditIPAddr : public QFrame {
    Q_OBJECT

public:
    explicit CEditIPAddr(QWidget* parent = nullptr);

    /// Where the message about a value above 255 goes; the standard prompts unless set.
    void SetPrompts(TPrompts& prompts);

    /// The address as dotted text, or an empty text when all four fields are empty.
    /// Empty fields are first set to "0" and, unless AcceptOctal, every field to its
    /// decimal value without leading zeros; these rewrites stay visible.
    QString Text();

    /// An empty text clears the four fields. Any other text must be a valid dotted text
    /// (else EIPAddressError "Bad IP address string given to component" and nothing
    /// changes); each field then gets its octet's decimal value and field 0 is selected.
    void SetText(const QString& text);

    /// Whether reading Text keeps each field as typed ("010") rather than its value ("10").
    bool AcceptOctal() const { return acceptOctal_; }
    void SetAcceptOctal(bool accept) { acceptOctal_ = accept; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    enum class TCaret { Start, End, SelectAll };

    void BuildFields();
    int FieldIndex(const QObject* object) const;
    int DotIndex(const QObject* object) const;
    bool FieldKeyPressed(int field, const QKeyEvent& event);
    bool MovedByKey(int field, const QKeyEvent& event);
    void BackspaceIntoPrevious(int field);
    void FieldEdited(int field);
    void FocusField(int field, TCaret caret);

    std::array<QLineEdit*, 4> fields_{};
    std::array<QLabel*, 3> dots_{};
    TPrompts* prompts_;
    bool acceptOctal_ = false;
    bool navigating_ = false;  // set while this control moves the focus itself
};
