#pragma once
// The symbols drawn on the skin's buttons. Each draws in logical pixels around the origin, which
// the caller has moved to the centre of the frame, in one ink colour. Edges sit on whole or half
// pixels as the frame's centre needs, so they stay crisp at 1x and at 2x.
#include <QColor>
#include <QPainter>

using Glyph = void (*)(QPainter& painter, const QColor& ink);

void PlayGlyph(QPainter& painter, const QColor& ink);
void PauseGlyph(QPainter& painter, const QColor& ink);
void StopGlyph(QPainter& painter, const QColor& ink);
void PreviousGlyph(QPainter& painter, const QColor& ink);
void NextGlyph(QPainter& painter, const QColor& ink);
void SpeakerGlyph(QPainter& painter, const QColor& ink);
void MutedSpeakerGlyph(QPainter& painter, const QColor& ink);
void OpenGlyph(QPainter& painter, const QColor& ink);
void PlaylistGlyph(QPainter& painter, const QColor& ink);
void VideoGlyph(QPainter& painter, const QColor& ink);
void AddGlyph(QPainter& painter, const QColor& ink);
void DeleteGlyph(QPainter& painter, const QColor& ink);
void LoopGlyph(QPainter& painter, const QColor& ink);
void SortGlyph(QPainter& painter, const QColor& ink);
void MenuGlyph(QPainter& painter, const QColor& ink);
void MinimizeGlyph(QPainter& painter, const QColor& ink);
void CloseGlyph(QPainter& painter, const QColor& ink);
// The splitter box: collapse the playlist to the right, or bring it back.
void CollapseGlyph(QPainter& painter, const QColor& ink);
void ExpandGlyph(QPainter& painter, const QColor& ink);
