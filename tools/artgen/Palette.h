#pragma once
// The colours of the skin's dark theme. The panel grey is the background the text labels fill
// their boxes with, so every place a label or a button sits on is exactly that grey.
#include <QColor>

inline const QColor kPanel(65, 65, 65);       // frame, bands, button faces; the label background
inline const QColor kText(222, 222, 222);     // glyphs at rest; the label text
inline const QColor kSplitter(72, 72, 64);    // the splitter bar the box sits in
inline const QColor kOuterEdge(24, 24, 24);   // one-pixel outline around the window
inline const QColor kBevelLight(92, 92, 92);  // inner edge on the lit (top, left) side
inline const QColor kBevelShadow(46, 46, 46); // inner edge on the shaded (bottom, right) side
inline const QColor kSeparator(34, 34, 34);   // line under the title bar
inline const QColor kHoverFace(90, 90, 90);   // button face under the pointer
inline const QColor kHoverRim(116, 116, 116);
inline const QColor kPressedFace(40, 40, 40); // button face held down
inline const QColor kPressedRim(28, 28, 28);
inline const QColor kCheckedFace(58, 84, 112); // selected view radio
inline const QColor kCheckedRim(92, 132, 176);
inline const QColor kAccent(128, 184, 240);      // pressed glyphs
inline const QColor kFocusEdge(96, 140, 188);    // top edge of the focused window
inline const QColor kHoverInk(255, 255, 255);    // glyphs under the pointer
inline const QColor kDisabledInk(108, 108, 108); // greyed glyphs
inline const QColor kGrooveShade(52, 52, 52);    // upper lip of the slider track
inline const QColor kGroove(30, 30, 30);         // slider track
inline const QColor kGrooveLight(88, 88, 88);    // lit lower lip of the track
inline const QColor kKnob(214, 214, 214);        // slider thumb
