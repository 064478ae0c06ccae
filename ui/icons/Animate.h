#pragma once

#include <QTimer>
#include <QWidget>

/// A looping animation of a file travelling between this computer and a device: the
/// sending clip for downloads, the receiving clip for uploads. Frames are painted by the
/// program itself. GUI thread only.
class TAnimate final : public QWidget {
public:
    enum class TClip { None, Sending, Receiving };

    static constexpr int kFrameCount = 12;
    static constexpr int kFrameMs = 90;

    explicit TAnimate(QWidget* parent = nullptr);

    /// Plays `clip` from its first frame, looping.
    void Play(TClip clip);
    /// Stops and releases the clip.
    void Stop();

    TClip Clip() const { return clip_; }

    QSize sizeHint() const override { return {kWidth, kHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int kWidth = 272;
    static constexpr int kHeight = 60;

    void PaintComputer(QPainter& painter) const;
    void PaintDevice(QPainter& painter) const;
    void PaintTravellingPage(QPainter& painter) const;

    QTimer timer_;
    TClip clip_ = TClip::None;
    int frame_ = 0;
};
