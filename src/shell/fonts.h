// The window's layout was measured with the metrics of the Helvetica family
// as desktop systems usually render it. On Linux the toolkit's "sans" is
// often a wider face, which pushes texts into their neighbours; naming a
// face with the expected metrics keeps every text where it belongs.
#pragma once

// Points the toolkit's Helvetica and Courier families at metric-compatible
// faces when fontconfig has them; otherwise leaves the toolkit's choice. On
// Windows, makes the screen draw every text exactly as wide as fl_width
// measures it (platform::drawTextAsMeasured).
void useLayoutFonts();
