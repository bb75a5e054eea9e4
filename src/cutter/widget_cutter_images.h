#pragma once
// The cutter page's own artwork, drawn at run time.

#include <QIcon>

// 12 x 12 images of the whole-file play button: 0 a play triangle, 1 a pause sign.
QIcon SourcePlayImage(int index);
// The point buttons' glyphs: a bar with a triangle pointing into the segment.
QIcon PointImage(bool start);
QIcon RecordImage();
