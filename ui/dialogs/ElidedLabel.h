#pragma once

#include <QLabel>

/// A one-line label made of a name and a fixed tail ("boot.bin" and " to 10.0.0.5 (port:
/// 2070)"). It asks for room for the whole line up to a limit; when the line does not fit
/// the width it gets, the name is elided in the middle and the whole name becomes the
/// tooltip. GUI thread only.
class TElidedLabel final : public QLabel {
public:
    /// The widest the label asks to be, in average characters of its font.
    static constexpr int kWidestChars = 64;

    explicit TElidedLabel(const QString& text, QWidget* parent = nullptr);

    void SetText(const QString& name, const QString& tail);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Elide();

    QString name_;
    QString tail_;
};
