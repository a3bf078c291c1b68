#pragma once
// What the preview and the capture see of the main window: the three time boxes, the caption,
// the two toggles, the lead-time slider, the text box for a new subtitle, notices and the 40 ms
// timer. The window implements it over its controls; tests implement it over plain values, so
// the rules of the preview and the capture run without a widget.
//
// Texts are bytes in the program's code page; line breaks inside them are CR LF.

#include <string>

namespace tirelle::timing {

// The start box (Edit1), the end box (Edit2) and the read-only position box (Edit_TimePos).
enum class Box { Start, End, Position };
// The capture toggle ">" (SpButtonE) and the range preview toggle "-->" (SpeedButton4).
enum class Toggle { Capture, Range };

class TimingView {
public:
    virtual ~TimingView() = default;

    virtual std::string text(Box box) const = 0;
    // Writes the box whether or not the text differs; callers compare first where a periodic
    // update must not redraw.
    virtual void setText(Box box, const std::string& text) = 0;

    // The preview caption (Label3).
    virtual void showCaption(const std::string& caption) = 0;

    virtual bool isDown(Toggle toggle) const = 0;
    // As the program sets a toggle: no click handler runs, and setting one down sends the other
    // up (the two form a group in which both may be up).
    virtual void setDown(Toggle toggle, bool down) = 0;
    virtual void setEnabled(Toggle toggle, bool enabled) = 0;

    // The lead-time slider's position, 0 to 100, and the label showing the lead time in seconds.
    virtual int leadPosition() const = 0;
    virtual void showLeadTime(const std::string& seconds) = 0;

    // The text box of a new subtitle (Memo1).
    virtual std::string newText() const = 0;
    virtual void clearNewText() = 0;

    // A notice with the application title and one OK button; the text is UTF-8.
    virtual void notice(const std::string& text) = 0;

    // Switches the 40 ms timer (Timer2) on or off; enabling it starts a fresh period.
    virtual void setTicking(bool on) = 0;
};

}  // namespace tirelle::timing
