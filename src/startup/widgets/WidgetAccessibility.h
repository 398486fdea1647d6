#pragma once
// What screen readers (AT-SPI through the toolkit) see of the painted media controls:
// - the transport bar is a tool bar of nine buttons, each named after its command
//   (buttonName), disabled as it draws, pressed by the "Press" action;
// - the status display is a label whose name is its state, item and time ("Playing,
//   song.mp3, 0:12 / 3:45"); it tells the reader when that changes.
// Installed once, before the first window shows; interfaces are made on demand.
namespace quavix {

void installWidgetAccessibility();

} // namespace quavix
