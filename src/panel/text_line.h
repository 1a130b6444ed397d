#pragma once

#include <QString>
#include <QWidget>

namespace pindle {

// One line of text drawn in one of the three label tones of the current palette, vertically
// centred and cut at the right end with an ellipsis when it does not fit. The panel's title,
// confirmation question and count label.
class TextLine : public QWidget {
    Q_OBJECT
public:
    // `alert`: the tertiary tone's red counterpart, for a problem the user must not miss.
    enum class Tone { primary, secondary, tertiary, alert };

    TextLine(Tone tone, QWidget* parent = nullptr);

    void setText(const QString& text);
    void setTone(Tone tone);
    Tone tone() const { return m_tone; }
    const QString& text() const { return m_text; }

    // The width the whole text needs in the current font.
    int naturalWidth() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Tone m_tone;
    QString m_text;
};

} // namespace pindle
