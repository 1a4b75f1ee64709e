#pragma once
// Where header.bmp or footer.bmp goes in the band at the top or bottom of a
// page: 5 % of the page height high, its width scaled alike, placed left,
// centred or right; a bitmap that would be wider than the page spans the page
// with its height scaled to that width.

struct BandPlacement {
  int x = 0;
  int width = 0;
  int height = 0;
};

// position: 0 left, 1 centre, 2 right. The bitmap's sizes must be at least 1.
BandPlacement PlaceBandBitmap(int bitmapWidth, int bitmapHeight, int pageWidth, int pageHeight,
                              int position);
