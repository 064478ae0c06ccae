#include "ui/config/EditIPAddr.h"

#include <array>
#include <memory>

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "security/IPAddrUtils.h"
#include "tests/ui/RecordingPrompts.h"

/// Each test gets a fresh active window holding the control and one other field, so that
/// focus moves can be watched.
class EditIPAddrTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QWidget> window_;
    CEditIPAddr* edit_ = nullptr;
    QLineEdit* other_ = nullptr;
    TRecordingPrompts prompts_;

    QLineEdit* Field(int index) const
    {
        return edit_->findChild<QLineEdit*>(QStringLiteral("Field%1").arg(index));
    }

    void SetFields(const std::array<const char*, 4>& texts) const
    {
        for (int i = 0; i < 4; ++i)
            Field(i)->setText(QString::fromLatin1(texts[static_cast<std::size_t>(i)]));
    }

    /// Types each character into whichever widget has the focus at that moment.
    static void Type(const QString& keys)
    {
        for (const QChar key : keys)
            QTest::keyClick(QApplication::focusWidget(), key.toLatin1());
    }

    static void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }

    void Focus(int field, int caret) const
    {
        Field(field)->setFocus();
        Field(field)->setCursorPosition(caret);
    }

private slots:
    void init()
    {
        window_ = std::make_unique<QWidget>();
        auto* layout = new QHBoxLayout(window_.get());
        edit_ = new CEditIPAddr(window_.get());
        edit_->SetPrompts(prompts_);
        edit_->setFixedWidth(320);
        other_ = new QLineEdit(window_.get());
        layout->addWidget(edit_);
        layout->addWidget(other_);
        prompts_.Clear();
        window_->show();
        QApplication::setActiveWindow(window_.get());
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        other_->setFocus();
    }

    void cleanup() { window_.reset(); }

    // Reading and assigning Text.

    void ReadingTextFillsAndNormalisesFields_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<bool>("acceptOctal");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("empty fields read as 0")
            << QStringList{"192", "", "1", ""} << false << "192.0.1.0"
            << QStringList{"192", "0", "1", "0"};
        QTest::newRow("all empty") << QStringList{"", "", "", ""} << false << ""
                                   << QStringList{"", "", "", ""};
        QTest::newRow("leading zero dropped") << QStringList{"010", "1", "2", "3"} << false
                                              << "10.1.2.3" << QStringList{"10", "1", "2", "3"};
        QTest::newRow("leading zero kept as octal") << QStringList{"010", "1", "2", "3"} << true
                                                    << "010.1.2.3"
                                                    << QStringList{"010", "1", "2", "3"};
        QTest::newRow("zeros collapse") << QStringList{"000", "00", "7", "255"} << false
                                        << "0.0.7.255" << QStringList{"0", "0", "7", "255"};
    }

    void ReadingTextFillsAndNormalisesFields()
    {
        QFETCH(QStringList, fields);
        QFETCH(bool, acceptOctal);
        QFETCH(QString, text);
        QFETCH(QStringList, shown);
        for (int i = 0; i < 4; ++i)
            Field(i)->setText(fields[i]);
        edit_->SetAcceptOctal(acceptOctal);
        QCOMPARE(edit_->Text(), text);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(Field(i)->text(), shown[i]);
    }

    void AssigningTextSetsOctetsAndSelectsFirstField()
    {
        edit_->SetText(QStringLiteral("10.0.12.255"));
        QCOMPARE(Field(0)->text(), QStringLiteral("10"));
        QCOMPARE(Field(3)->text(), QStringLiteral("255"));
        QCOMPARE(Field(0)->selectedText(), QStringLiteral("10"));
        QCOMPARE(edit_->Text(), QStringLiteral("10.0.12.255"));
        edit_->SetText({});
        QCOMPARE(edit_->Text(), QString());
    }

    void AssigningBadTextIsRefusedAndChangesNothing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("two dots") << "1.2.3";
        QTest::newRow("leading zero") << "01.2.3.4";
        QTest::newRow("empty piece") << "1..3.4";
        QTest::newRow("letters") << "1a.2.3.4";
        QTest::newRow("above 255") << "256.1.1.1";
    }

    void AssigningBadTextIsRefusedAndChangesNothing()
    {
        QFETCH(QString, text);
        edit_->SetText(QStringLiteral("1.2.3.4"));
        try {
            edit_->SetText(text);
            QFAIL("no failure raised");
        } catch (const EIPAddressError& error) {
            QCOMPARE(QString::fromLatin1(error.what()),
                     QStringLiteral("Bad IP address string given to component"));
        }
        QCOMPARE(edit_->Text(), QStringLiteral("1.2.3.4"));
    }

    // Typing moves between fields.

    void ThreeDigitsMoveToNextField()
    {
        Focus(0, 0);
        Type(QStringLiteral("192"));
        QVERIFY(Field(1)->hasFocus());
        QCOMPARE(Field(1)->cursorPosition(), 0);
        Type(QStringLiteral("168"));
        Type(QStringLiteral("1"));
        QCOMPARE(Field(2)->text(), QStringLiteral("1"));
    }

    void ThreeDigitsInLastFieldStay()
    {
        Focus(3, 0);
        Type(QStringLiteral("254"));
        QVERIFY(Field(3)->hasFocus());
    }

    void DotOrSpaceMovesOnWithNextFieldSelected_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("dot") << int(Qt::Key_Period) << int(Qt::NoModifier);
        QTest::newRow("keypad decimal") << int(Qt::Key_Period) << int(Qt::KeypadModifier);
        QTest::newRow("space") << int(Qt::Key_Space) << int(Qt::NoModifier);
    }

    void DotOrSpaceMovesOnWithNextFieldSelected()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        SetFields({"", "42", "", ""});
        Focus(0, 0);
        Type(QStringLiteral("1"));
        Press(Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QVERIFY(Field(1)->hasFocus());
        QCOMPARE(Field(1)->selectedText(), QStringLiteral("42"));
        QCOMPARE(Field(0)->text(), QStringLiteral("1"));
    }

    void DotInEmptyOrLastFieldTypesNothing()
    {
        Focus(0, 0);
        Press(Qt::Key_Period);
        QVERIFY(Field(0)->hasFocus());
        QCOMPARE(Field(0)->text(), QString());
        SetFields({"1", "2", "3", "4"});
        Focus(3, 1);
        Press(Qt::Key_Period);
        QVERIFY(Field(3)->hasFocus());
        QCOMPARE(Field(3)->text(), QStringLiteral("4"));
    }

    void BackspaceAtStartRemovesLastCharacterOfPreviousField()
    {
        SetFields({"192", "168", "", ""});
        Focus(2, 0);
        Press(Qt::Key_Backspace);
        QVERIFY(Field(1)->hasFocus());
        QCOMPARE(Field(1)->text(), QStringLiteral("16"));
        QCOMPARE(Field(1)->cursorPosition(), 2);
    }

    void BackspaceAtStartIntoEmptyFieldOnlyMoves()
    {
        SetFields({"192", "", "5", ""});
        Focus(2, 0);
        Press(Qt::Key_Backspace);
        QVERIFY(Field(1)->hasFocus());
        QCOMPARE(Field(0)->text(), QStringLiteral("192"));
        QCOMPARE(Field(2)->text(), QStringLiteral("5"));
    }

    void BackspaceInsideFieldDeletesThere()
    {
        SetFields({"192", "168", "", ""});
        Focus(1, 2);
        Press(Qt::Key_Backspace);
        QVERIFY(Field(1)->hasFocus());
        QCOMPARE(Field(1)->text(), QStringLiteral("18"));
    }

    void ArrowsCrossFieldsOnlyAtTheEdges()
    {
        SetFields({"10", "20", "", ""});
        Focus(0, 1);
        Press(Qt::Key_Right);
        QVERIFY(Field(0)->hasFocus());
        Press(Qt::Key_Right);
        QVERIFY(Field(1)->hasFocus());
        QCOMPARE(Field(1)->cursorPosition(), 0);
        Press(Qt::Key_Left);
        QVERIFY(Field(0)->hasFocus());
        QCOMPARE(Field(0)->cursorPosition(), 2);
        Focus(3, 0);
        Press(Qt::Key_Right);
        QVERIFY(Field(3)->hasFocus());
        Focus(0, 0);
        Press(Qt::Key_Left);
        QVERIFY(Field(0)->hasFocus());
    }

    // What a field accepts.

    void ValueAbove255BecomesMaximumWithMessage()
    {
        Focus(0, 0);
        Type(QStringLiteral("300"));
        QCOMPARE(Field(0)->text(), QStringLiteral("255"));
        QCOMPARE(Field(0)->selectedText(), QStringLiteral("255"));
        QVERIFY(Field(0)->hasFocus());
        QCOMPARE(prompts_.Errors,
                 QStringList{QStringLiteral("300 is not a valid entry. Please specify a value "
                                            "between 0 and 255 for this field.")});
    }

    void OnlyPlainDigitsType_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("expected");
        QTest::newRow("digit") << int(Qt::Key_7) << int(Qt::NoModifier) << "7";
        QTest::newRow("keypad digit") << int(Qt::Key_7) << int(Qt::KeypadModifier) << "7";
        QTest::newRow("letter") << int(Qt::Key_A) << int(Qt::NoModifier) << "";
        QTest::newRow("minus") << int(Qt::Key_Minus) << int(Qt::NoModifier) << "";
        QTest::newRow("shift digit") << int(Qt::Key_7) << int(Qt::ShiftModifier) << "";
        QTest::newRow("ctrl digit") << int(Qt::Key_7) << int(Qt::ControlModifier) << "";
        QTest::newRow("alt digit") << int(Qt::Key_7) << int(Qt::AltModifier) << "";
    }

    void OnlyPlainDigitsType()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, expected);
        Focus(1, 0);
        Press(Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(Field(1)->text(), expected);
    }

    void PastedTextThatIsNotDigitsIsDropped()
    {
        SetFields({"", "1", "", ""});
        Focus(1, 1);
        QApplication::clipboard()->setText(QStringLiteral("2a"));
        Field(1)->paste();
        QCOMPARE(Field(1)->text(), QStringLiteral("1"));
        QApplication::clipboard()->setText(QStringLiteral("99"));
        Field(1)->paste();
        QCOMPARE(Field(1)->text(), QStringLiteral("199"));
        QVERIFY(Field(2)->hasFocus());
    }

    // Focus and mouse.

    void ControlTakingFocusSelectsFirstField()
    {
        SetFields({"10", "", "", ""});
        edit_->setFocus();
        QVERIFY(Field(0)->hasFocus());
        QCOMPARE(Field(0)->selectedText(), QStringLiteral("10"));
    }

    void ClickOnDotFocusesFieldToItsLeft()
    {
        SetFields({"1", "22", "3", "4"});
        auto* dot = edit_->findChild<QLabel*>(QStringLiteral("Dot1"));
        QTest::mouseClick(dot, Qt::LeftButton);
        QVERIFY(Field(1)->hasFocus());
        QCOMPARE(Field(1)->cursorPosition(), 2);
    }

    void ClickOnBackgroundFocusesLastField()
    {
        SetFields({"1", "2", "3", "44"});
        QTest::mouseClick(edit_, Qt::LeftButton, {}, QPoint(edit_->width() - 4, edit_->height() / 2));
        QVERIFY(Field(3)->hasFocus());
        QCOMPARE(Field(3)->cursorPosition(), 2);
    }
};

QTEST_MAIN(EditIPAddrTest)
#include "EditIPAddrTest.moc"
