// Readout: the texts of the position readout under the seek bar - where the current frame is
// and what it holds, and what a cut of the marked range would write - and reading a position
// the user types (a frame number or a time).
#pragma once

#include "engine/jobs/U_AVIExtractor.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>

// Text with each "%s" replaced by the next of Args, in order (the message table's placeholders).
QString FillPlaceholders(QString Text, const QStringList& Args);

// "h:mm:ss.mmm".
QString TimeMsText(int64_t Ms);

// The window's message table (English text in, text in the language in use out).
using TReadoutTranslate = std::function<QString(const QString& English)>;

// "Frame 1235 / 10000   0:00:49.360 / 0:06:40.000   key frame, I" for frame 1234 (from 0).
QString PositionLine(const TReadoutTranslate& Translate, int32_t Frame, int32_t Count, int64_t Ms,
                     int64_t TotalMs, const TFrameFacts& Facts);
// "Cut: frames 1201 to 1451, 0:00:10.040, about 12.3 MB", and how far before AskedStart (the
// beginning the user marked, -1 for none) the cut starts when it does.
QString CutLine(const TReadoutTranslate& Translate, const TCutPlan& Plan, int32_t AskedStart);

// A frame typed as its number from 1, or a time as [[h:]m:]s[.fff] or with a trailing "s",
// turned into a frame number from 0 by FrameAtMs; nothing for anything else.
std::optional<int32_t> ParsePosition(const QString& Text,
                                     const std::function<int32_t(int64_t Ms)>& FrameAtMs);
