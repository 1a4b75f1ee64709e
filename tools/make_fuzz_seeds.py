#!/usr/bin/python3
"""Writes the seed corpora of the fuzz targets below fuzz/corpus/ (run by hand).

Data sets are encoded in implicit VR little endian with pydicom, behind the
one leading byte that each data set fuzz target reads first."""

import os
import struct
import sys

from pydicom.dataset import Dataset
from pydicom.filebase import DicomBytesIO
from pydicom.filewriter import write_dataset
from pydicom.sequence import Sequence

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fuzz", "corpus")


def implicit(ds):
    out = DicomBytesIO()
    out.is_little_endian = True
    out.is_implicit_VR = True
    write_dataset(out, ds)
    return out.getvalue()


def save(target, name, data):
    folder = os.path.join(ROOT, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def image(rows, cols, samples, bits, photometric, signed=0, pixels=None):
    item = Dataset()
    item.SamplesPerPixel = samples
    item.PhotometricInterpretation = photometric
    if samples == 3:
        item.PlanarConfiguration = 0
    item.Rows = rows
    item.Columns = cols
    item.BitsAllocated = bits
    item.BitsStored = bits if bits == 8 else 12
    item.HighBit = item.BitsStored - 1
    item.PixelRepresentation = signed
    size = rows * cols * samples * bits // 8
    item.PixelData = pixels if pixels is not None else bytes(i % 256 for i in range(size))
    return item


def image_box_seeds():
    grey = Dataset()
    grey.ImageBoxPosition = 1
    grey.Polarity = "NORMAL"
    grey.BasicGrayscaleImageSequence = Sequence([image(4, 4, 1, 8, "MONOCHROME2")])
    save("image_box", "grey8", b"\0" + implicit(grey))
    wide = Dataset()
    wide.ImageBoxPosition = 1
    item = image(3, 5, 1, 16, "MONOCHROME1", signed=1)
    item.WindowCenter = "40"
    item.WindowWidth = "400"
    item.RescaleIntercept = "-1024"
    item.RescaleSlope = "1"
    wide.BasicGrayscaleImageSequence = Sequence([item])
    save("image_box", "grey16_window", b"\1" + implicit(wide))
    colour = Dataset()
    colour.ImageBoxPosition = 1
    colour.BasicColorImageSequence = Sequence([image(2, 3, 3, 8, "RGB")])
    save("image_box", "rgb", b"\0" + implicit(colour))
    ybr = Dataset()
    ybr.BasicColorImageSequence = Sequence([image(2, 2, 3, 8, "YBR_FULL")])
    save("image_box", "ybr_short", b"\0" + implicit(ybr)[:-4])


def film_box_seeds():
    formats = ["STANDARD\\2,2", "ROW\\1,2,3", "COL\\2,1", "STANDARD\\1,1", "STANDARD\\8,5"]
    for number, display in enumerate(formats):
        ds = Dataset()
        ds.ImageDisplayFormat = display
        ds.FilmOrientation = "LANDSCAPE" if number % 2 else "PORTRAIT"
        ds.FilmSizeID = "14INX17IN"
        ds.MagnificationType = "REPLICATE"
        ds.BorderDensity = "BLACK"
        ds.EmptyImageDensity = "WHITE"
        ds.MaxDensity = 300
        reference = Dataset()
        reference.ReferencedSOPClassUID = "1.2.840.10008.5.1.1.1"
        reference.ReferencedSOPInstanceUID = "1.2.3"
        ds.ReferencedFilmSessionSequence = Sequence([reference])
        save("film_box", "format%d" % number, bytes([number & 1]) + implicit(ds))


def rules_seeds():
    save("rules_file", "three", b"PDF|PDF|0|FALSE|9|10|10|0|0|0|0\r\n"
         b"JPG|JPEG|0|FALSE|9|10|10|0|0|0|0\r\nSTORE|DICOM|0|FALSE|9|10|10|0|0|0|0\r\n")
    save("rules_file", "printer", b"CORVANEL|Office Laser|1|TRUE|12|5|15|1|2|1|2\n"
         b"PACS|PACS|3|FALSE|0|0|20|2|1|2|1\n")


def ini_seeds():
    save("ini_file", "sample", b"[CORVANEL]\r\nPort=104\r\nAETIndex=0\r\nLogLevel=1\r\n"
         b"Calibration=0\r\nPresentationLUT=1\r\nScaleBar=1\r\nEnableHeaders=1\r\n"
         b"Header=Ward 3\r\nFooter=Corvanel\r\nImageDir=/tmp/images/\r\n"
         b"[PACS]\r\nAETitle=PACS\r\nIP=127.0.0.1\r\nPort=11112\r\n"
         b"[PAPER]\r\n14INX17IN=2\r\n8INX11IN=0\r\nDEFAULT=8\r\nDefWidth=210\r\nDefHeight=297\r\n")
    save("ini_file", "comments", b"; comment\n[corvanel]\nport = 11112 \n\n[paper]\ndefault=x\n")


def bmp(width, height, bits, palette=None, top_down=False):
    stride = (width * bits // 8 + 3) & ~3
    colours = len(palette) if palette else 0
    offset = 14 + 40 + 4 * colours
    pixels = bytes((x * 7 + y * 13) % 256 for y in range(height) for x in range(stride))
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, -height if top_down else height, 1, bits, 0,
                       len(pixels), 2835, 2835, colours, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in (palette or []))
    return header + info + table + pixels


def bmp_seeds():
    grey = [(i, i, i) for i in range(256)]
    save("bmp_reader", "grey8", bmp(5, 3, 8, grey))
    save("bmp_reader", "palette8_top_down", bmp(3, 2, 8, [(255, 0, 0), (0, 0, 255)], True))
    save("bmp_reader", "rgb24", bmp(3, 3, 24))
    save("bmp_reader", "rgb32_top_down", bmp(2, 2, 32, top_down=True))


if __name__ == "__main__":
    image_box_seeds()
    film_box_seeds()
    rules_seeds()
    ini_seeds()
    bmp_seeds()
    sys.exit(0)
