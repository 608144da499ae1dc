#pragma once

/// Registers the program's built-in images (":/icons/pixelwain.png").
/// The resource lives in a static library, so the program calls this once
/// before it first loads an icon; later calls do nothing more.
void pxwInitAssets();
