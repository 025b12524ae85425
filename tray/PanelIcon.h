#pragma once
// A frame as a tray icon at every size a panel asks for. The frame is
// enlarged by whole pixels only (2×, 3×, 4×) and centred on transparency at
// the sizes between (22, 24), so no panel has a reason to smooth it: two
// colours stay two colours at any size.
#include <QIcon>
#include <QImage>
#include <QSize>

// The frame enlarged by the largest whole factor that fits in size,
// centred; smaller than the frame, scaled down.
QImage FramePicture(const QImage& frame, QSize size);

// An icon that offers the frame at 16, 22, 24, 32, 48 and 64 pixels (for a
// 16×16 frame), each made when asked, so a frame costs only its image.
QIcon PanelIcon(const QImage& frame);
