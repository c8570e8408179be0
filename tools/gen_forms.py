#!/usr/bin/env python3
"""Writes the Qt Designer forms of the editor: the main window, the pages it builds later, and
the two dialogs.

    tools/gen_forms.py            # rewrites Korvalen49_Test/{korvalen49_test,page*,upload,upgrade}.ui
    tools/gen_forms.py --check    # exit status 1, with a diff, when a committed form differs

The forms use fixed geometry throughout, so writing them from tables is shorter and easier
to check than editing a few thousand lines of XML. The generated files are committed and are
changed only through this script: change a table here and run it again (a test checks that
the committed files are what it writes).
"""

import difflib
import os
import sys
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
APP_DIR = os.path.join(HERE, os.pardir, "Korvalen49_Test")

# ---------------------------------------------------------------------------------------------
# Looks. A style sheet on a widget restyles every widget below it, and the toolkit then keeps
# style data for each of them and redoes the work whenever a styled part of the tree moves
# (as each finished page does when the form adds it to the page widget); with a sheet on
# every layer that was most of the start-up. So sheets stay on widgets without children
# (buttons, the logo, the tab bar), labels get their colour from a palette, and the layers
# (the dark backgrounds and the white panels on them) are of class customLayer, which draws
# its background and border from a sheet of its own without styling the widgets on it.
# "\n" is a line break.

DARK_LAYER_STYLE = "background-color: rgb(29,30,34);"

PANEL_STYLE = (
    "background-color: white;\n"
    "border-style: outset;\n"
    "border-width: 2px;\n"
    "border-radius: 10px;\n"
    "border-color: beige;"
)

# Behind each group of the picture; a yellow frame while its page is shown.
LAYER_BUTTON_STYLE = (
    "QPushButton {\n"
    "    background-color: rgb(29,30,34);\n"
    "}\n"
    "QPushButton:checked {\n"
    "    border-style: outset;\n"
    "    border-width: 2px;\n"
    "    border-radius: 10px;\n"
    "    border-color: yellow;\n"
    "    padding: 6px;\n"
    "}"
)

ZONE_BUTTON_STYLE = (
    "QPushButton {\n"
    "    background-color: rgb(29,30,34);\n"
    "    border-style: outset;\n"
    "    color: white;\n"
    "}"
)

# The tabs shrink to nothing; with the page widget 12 pixels above the top of the window and
# empty titles, no tab bar is seen.
TAB_BAR_STYLE = (
    "QTabBar::tab {\n"
    "    background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 0, stop: 0, stop: 0, stop: 0, "
    "stop: 0);\n"
    "    border: 0px;\n"
    "    border-bottom-color: #C2C7CB;\n"
    "    border-top-left-radius: 0px;\n"
    "    border-top-right-radius: 0px;\n"
    "    min-width: 0px;\n"
    "    padding: 0px;\n"
    "}"
)

# Kept apart so that the program can point the logo at another image.
LOGO_STYLE = "background-image: url(logo.bmp);\nbackground-attachment: fixed;"

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)

# ---------------------------------------------------------------------------------------------
# XML helpers


def sub(parent, tag, attrib=None, text=None):
    el = ET.SubElement(parent, tag, attrib or {})
    if text is not None:
        el.text = text
    return el


def prop(widget, name):
    return sub(widget, "property", {"name": name})


def p_rect(widget, x, y, w, h, name="geometry"):
    r = sub(prop(widget, name), "rect")
    for tag, v in (("x", x), ("y", y), ("width", w), ("height", h)):
        sub(r, tag, text=str(v))


def p_size(widget, name, w, h):
    s = sub(prop(widget, name), "size")
    sub(s, "width", text=str(w))
    sub(s, "height", text=str(h))


def p_string(widget, name, text, translatable=True):
    attrib = {} if translatable else {"notr": "true"}
    sub(prop(widget, name), "string", attrib, text)


def p_style(widget, text):
    p_string(widget, "styleSheet", text, translatable=False)


def p_bool(widget, name, value):
    sub(prop(widget, name), "bool", text="true" if value else "false")


def p_number(widget, name, value):
    sub(prop(widget, name), "number", text=str(value))


def p_enum(widget, name, value):
    sub(prop(widget, name), "enum", text=value)


def p_set(widget, name, value):
    sub(prop(widget, name), "set", text=value)


def p_font(widget, family, points, weight, bold):
    f = sub(prop(widget, "font"), "font")
    sub(f, "family", text=family)
    sub(f, "pointsize", text=str(points))
    sub(f, "weight", text=str(weight))
    sub(f, "bold", text="true" if bold else "false")


def p_palette(widget, role_name, rgb):
    """One colour role, alike in the active, inactive and disabled groups."""
    pal = sub(prop(widget, "palette"), "palette")
    for group in ("active", "inactive", "disabled"):
        g = sub(pal, group)
        role = sub(g, "colorrole", {"role": role_name})
        brush = sub(role, "brush", {"brushstyle": "SolidPattern"})
        color = sub(brush, "color", {"alpha": "255"})
        for tag, v in zip(("red", "green", "blue"), rgb):
            sub(color, tag, text=str(v))


def widget(parent, cls, name, geom=None):
    w = sub(parent, "widget", {"class": cls, "name": name})
    if geom is not None:
        p_rect(w, *geom)
    return w


def zorder(parent, *names):
    for n in names:
        sub(parent, "zorder", text=n)


GENERATED_NOTE = ("<!-- Generated by tools/gen_forms.py: change the form there and run it "
                  "again; edits made here are lost. -->")


def ui_text(root):
    ET.indent(root, space=" ")
    return "".join(('<?xml version="1.0" encoding="UTF-8"?>\n', GENERATED_NOTE, "\n",
                    ET.tostring(root, encoding="unicode"), "\n"))


def ui_path(filename):
    return os.path.normpath(os.path.join(APP_DIR, filename))


def ui_root(class_name):
    root = ET.Element("ui", {"version": "4.0"})
    sub(root, "class", text=class_name)
    return root


# ---------------------------------------------------------------------------------------------
# Main form


class Names:
    """Sequential objectNames as the form editor hands them out: base, base_2, base_3, ..."""

    def __init__(self, base):
        self.base = base
        self.count = 0

    def next(self):
        self.count += 1
        return self.base if self.count == 1 else "%s_%d" % (self.base, self.count)


row_labels = Names("lableCCE1")


def layer(parent, name, geom, style):
    w = widget(parent, "customLayer", name, geom)
    p_bool(w, "autoFillBackground", False)
    p_string(w, "layerStyleSheet", style, translatable=False)
    return w


def dark_layer(parent, name, geom):
    return layer(parent, name, geom, DARK_LAYER_STYLE)


def panel(parent, name, geom):
    """A white panel. Its labels are black whatever the desktop's palette: a dark theme's
    light text would vanish on the white background."""
    w = layer(parent, name, geom, PANEL_STYLE)
    p_palette(w, "WindowText", BLACK)
    return w


def row_label(parent, text, geom, buddy=None):
    """A label of a panel row; `buddy` is the box it names, which a screen reader then
    announces by it."""
    lab = widget(parent, "QLabel", row_labels.next(), geom)
    p_string(lab, "text", text)
    if buddy is not None:
        sub(prop(lab, "buddy"), "cstring", text=buddy)
    return lab


def combo(parent, name, geom, cls="customComboBox"):
    """A box of a panel: an entry wider than the box is drawn narrower (customComboBox)."""
    return widget(parent, cls, name, geom)


def group_label(parent, name, text, x, y, w, h, white=True):
    lab = widget(parent, "QLabel", name, (x, y, w, h))
    if white:
        p_palette(lab, "WindowText", WHITE)
    p_string(lab, "text", text)
    return lab


TIMES = ("Times New Roman", 10, 50, False)
LABEL_X = 8
BOX_X = 48
RIGHT_GAP = 9


def encoder_panel(parent, k, geom):
    """Rows "CC:", "Chan:", "Port:" with the CC, channel and port boxes."""
    w = panel(parent, "layerE%d" % k, geom)
    width = geom[2]
    box_w = width - BOX_X - RIGHT_GAP
    rows = (("CC:", "E%d_ccBox" % k, 10), ("Chan:", "E%d_ChBox" % k, 38),
            ("Port:", "E%d_PortBox" % k, 66))
    for text, box, y in rows:
        row_label(w, text, (LABEL_X, y, 38, 22), box)
        # A box with a font of its own builds its popup only when it is first opened.
        c = combo(w, box, (BOX_X, y, box_w, 20 if box == "E1_ccBox" else 22), "customComboBox")
        p_font(c, *TIMES)
        if box == "E1_ccBox":
            p_number(c, "maxVisibleItems", 10)
            p_enum(c, "sizeAdjustPolicy", "QComboBox::AdjustToContentsOnFirstShow")
            p_number(c, "minimumContentsLength", 30)
    return w


def button_panel(parent, name, prefix, geom):
    """Rows "Type:", "Val:", "Chan:", "Port:", "Mode:"."""
    w = panel(parent, name, geom)
    box_w = geom[2] - BOX_X - RIGHT_GAP
    rows = (("Type:", "typeBox", 10), ("Val:", "ccBox", 38), ("Chan:", "ChBox", 66),
            ("Port:", "PortBox", 94), ("Mode:", "modeBox", 122))
    for text, suffix, y in rows:
        box = "%s_%s" % (prefix, suffix)
        row_label(w, text, (LABEL_X, y, 38, 22), box)
        combo(w, box, (BOX_X, y, box_w, 22))
    return w


def slider_panel(parent, geom):
    w = panel(parent, "layerS1", geom)
    row_label(w, "CC:", (8, 16, 28, 22), "S1_ccBox")
    combo(w, "S1_ccBox", (38, 16, 173, 22))
    row_label(w, "Chan:", (220, 16, 36, 22), "S1_ChBox")
    combo(w, "S1_ChBox", (258, 16, 69, 22))
    row_label(w, "Port:", (336, 16, 34, 22), "S1_PortBox")
    combo(w, "S1_PortBox", (372, 16, 69, 22))
    return w


def zone_panel(parent, n, geom):
    w = panel(parent, "layerZ%d" % n, geom)
    z = "zone%d" % n
    if n == 1:
        lab = widget(w, "QLabel", "label", (90, 10, 77, 16))
        p_string(lab, "text", "   Zone1 ON")
    else:
        row_label(w, "Status:", (4, 8, 42, 22), z + "Sta")
        combo(w, z + "Sta", (48, 8, 191, 22))
    for text, suffix, y in (("Prog:", "Prog", 34), ("MSB:", "MSB", 62), ("LSB:", "LSB", 90),
                            ("Port:", "Port", 118), ("Ch:", "Chan", 146)):
        row_label(w, text, (4, y, 42, 22), z + suffix)
        c = combo(w, z + suffix, (48, y, 191, 22))
        if suffix == "Prog":
            p_number(c, "maxVisibleItems", 15)
    row_label(w, "Rang:", (4, 174, 40, 22), z + "RangSta")
    combo(w, z + "RangSta", (46, 174, 75, 22))
    row_label(w, "\u2014", (136, 174, 16, 22), z + "RangEnd")
    combo(w, z + "RangEnd", (160, 174, 79, 22))
    row_label(w, "Octave:", (2, 204, 44, 22), z + "Oct")
    combo(w, z + "Oct", (46, 204, 75, 22))
    row_label(w, "Trans:", (124, 202, 36, 22), z + "Trans")
    combo(w, z + "Trans", (160, 204, 79, 22))
    return w


def page(tabs, name):
    p = widget(tabs, "QWidget", name)
    sub(sub(p, "attribute", {"name": "title"}), "string")
    return p


# The pages after the first are shown only when the user asks for them, so the window builds
# them then: each is a form of its own (class, file), set up on its empty page of the main
# form. Their widgets keep the names, places and looks they had in the main form.
LATER_PAGES = (("FunctionsPage", "pagefunctions.ui"), ("PadsPage", "pagepads.ui"),
               ("TransportPage", "pagetransport.ui"), ("SliderPage", "pageslider.ui"),
               ("ZonesPage", "pagezones.ui"))


def later_page(tabs, name, later, index):
    """The empty page in the main form, and the root of its own form, added to `later`."""
    page(tabs, name)
    class_name, filename = LATER_PAGES[index - 1]
    root = ui_root(class_name)
    later.append((root, filename))
    return widget(root, "QWidget", name)


def build_pages(tabs):
    """The six pages; returns the forms of the pages built later, as (root, filename)."""
    later = []
    # 0: encoders. Three panels are children of the page itself and are raised above the
    # dark layer once it exists.
    p = page(tabs, "tab")
    encoder_panel(p, 1, (8, 20, 207, 95))
    encoder_panel(p, 4, (676, 20, 215, 99))
    encoder_panel(p, 8, (680, 142, 211, 99))
    dark = dark_layer(p, "blackLayer1", (0, -2, 1271, 279))
    encoder_panel(dark, 2, (226, 22, 213, 97))
    encoder_panel(dark, 3, (450, 22, 215, 97))
    encoder_panel(dark, 5, (10, 144, 205, 97))
    encoder_panel(dark, 6, (226, 144, 211, 99))
    encoder_panel(dark, 7, (450, 146, 215, 97))
    for k, (x, y) in enumerate(((130, 4), (310, 4), (552, 4), (778, 4), (124, 126), (312, 126),
                                (552, 126), (776, 126)), start=1):
        name = "label_E%d" % k
        group_label(dark, name, "E%d" % k, x, y, 16, 16)
    zorder(p, "layerE1", "layerE4", "layerE8")

    # 1: function buttons
    p = later_page(tabs, "Fn", later, 1)
    dark = dark_layer(p, "blackLayer2", (0, -2, 897, 285))
    for k, geom in enumerate(((8, 44, 189, 151), (210, 44, 185, 151), (406, 44, 205, 151),
                              (638, 44, 225, 151)), start=1):
        button_panel(dark, "layerF%d" % k, "F%d" % k, geom)
    for k, (x, y) in enumerate(((98, 22), (284, 22), (506, 26), (748, 24)), start=1):
        group_label(dark, "label_F%d" % k, "F%d" % k, x, y, 16, 16)

    # 2: pads
    p = later_page(tabs, "Pn", later, 2)
    dark = dark_layer(p, "blackLayer3", (0, -2, 899, 283))
    for k, geom in enumerate(((12, 40, 195, 151), (228, 40, 199, 155), (442, 40, 221, 151),
                              (678, 40, 205, 151)), start=1):
        button_panel(dark, "layerP%d" % k, "P%d" % k, geom)

    # 3: transport
    p = later_page(tabs, "Zn", later, 3)
    dark = dark_layer(p, "blackLayer4", (0, -2, 897, 283))
    for k, (name, geom) in enumerate(
            (("layerRew", (12, 58, 167, 151)), ("layerFF", (190, 56, 175, 151)),
             ("layerStop", (378, 56, 169, 151)), ("layerPlay", (556, 54, 153, 151)),
             ("layerRec", (718, 54, 173, 151))), start=1):
        button_panel(dark, name, "Z%d" % k, geom)
    for name, text, x, y, w in (("label_48", "REW", 104, 36, 31), ("label_52", "FF", 262, 36, 21),
                                ("label_49", "STOP", 442, 34, 41),
                                ("label_50", "PLAY", 638, 36, 41),
                                ("label_51", "REC", 816, 34, 31)):
        group_label(dark, name, text, x, y, w, 16)

    # 4: slider
    p = later_page(tabs, "S1", later, 4)
    dark = dark_layer(p, "blackLayer5", (0, -2, 899, 283))
    slider_panel(dark, (240, 110, 447, 51))
    group_label(dark, "label_12", "S1", 446, 90, 16, 16)

    # 5: keyboard zones
    p = later_page(tabs, "Zone", later, 5)
    dark = dark_layer(p, "backLayer2", (-10, -2, 911, 277))
    zone_panel(dark, 1, (50, 14, 253, 231))
    zone_panel(dark, 2, (346, 14, 253, 231))
    zone_panel(dark, 3, (642, 14, 253, 231))
    group_label(dark, "label_8", "Zone1", 154, 248, 41, 16)
    group_label(dark, "label_9", "Zone2", 456, 248, 41, 16)
    group_label(dark, "label_10", "Zone3", 750, 248, 41, 16)
    group_label(dark, "label_11", "1", 22, 128, 16, 16, white=False)

    for root, _ in later:
        custom_widgets(root)
        sub(root, "resources")
        sub(root, "connections")
    return later


def layer_button(parent, name, geom):
    b = widget(parent, "QPushButton", name, geom)
    p_style(b, LAYER_BUTTON_STYLE)
    p_string(b, "text", "")
    p_bool(b, "checkable", True)
    return b


def push_button(parent, name, geom, text="", cls="QPushButton"):
    b = widget(parent, cls, name, geom)
    p_string(b, "text", text)
    return b


# (name, white?, x) for the keys of notes 48-72
KEYS = [
    ("Key30", True, 35), ("Key31", False, 60), ("Key32", True, 72), ("Key33", False, 94),
    ("Key34", True, 108), ("Key35", True, 144), ("Key36", False, 166), ("Key37", True, 180),
    ("Key38", False, 202), ("Key39", True, 216), ("Key3A", False, 238), ("Key3B", True, 252),
    ("Key3C", True, 288), ("Key3D", False, 312), ("Key3E", True, 324), ("Key3F", False, 346),
    ("Key40", True, 360), ("Key41", True, 396), ("Key42", False, 418), ("Key43", True, 432),
    ("Key44", False, 454), ("Key45", True, 468), ("Key46", False, 490), ("Key47", True, 504),
    ("Key48", True, 540),
]


def build_picture(central):
    back = dark_layer(central, "backLayer3", (0, 272, 895, 369))

    logo = widget(back, "QWidget", "widget", (22, 6, 157, 51))
    p_style(logo, LOGO_STYLE)

    # Each layer button is created first in its group, so it lies below the group's controls.
    g = widget(back, "QWidget", "layer_En", (208, 12, 227, 105))
    layer_button(g, "BtnLayer_En", (8, 8, 205, 91))
    for k, (x, y) in enumerate(((16, 8), (68, 8), (116, 8), (166, 8), (18, 58), (68, 58),
                                (118, 58), (168, 58)), start=1):
        d = widget(g, "QDial", "E%d" % k, (x, y, 39, 37))
        p_number(d, "maximum", 127)
        p_number(d, "value", 64)

    g = widget(back, "QWidget", "widget_2", (206, 114, 225, 51))
    layer_button(g, "btnLayer_Fn", (8, 10, 207, 35))
    for k, x in enumerate((22, 72, 126, 176), start=1):
        push_button(g, "Btn_F%d" % k, (x, 16, 29, 21))

    g = widget(back, "QWidget", "layer_Pn", (614, 14, 283, 107))
    layer_button(g, "BtnLayer_Pn", (4, 6, 263, 99))
    for k, x in enumerate((20, 84, 146, 210), start=1):
        push_button(g, "P%d" % k, (x, 18, 53, 53), " P%d" % k)
    lab = group_label(g, "label_7", "PAD BANK", 118, 82, 87, 17)
    p_font(lab, "Aharoni", 12, 75, True)
    sub(prop(lab, "buddy"), "cstring", text="PadBankBox")
    widget(g, "QComboBox", "PadBankBox", (212, 78, 51, 21))

    g = widget(back, "QWidget", "layer_Zn", (632, 116, 299, 41))
    layer_button(g, "btnLayer_Zoudai", (0, 8, 245, 33))
    for name, text, geom in (("Btn_Rew", "<<", (6, 14, 31, 21)), ("Btn_FF", ">>", (54, 14, 33, 21)),
                             ("Btn_Stop", "#", (104, 14, 31, 21)),
                             ("Btn_Play", ">", (156, 14, 31, 21)),
                             ("Btn_Rec", "O", (208, 14, 33, 21))):
        push_button(g, name, geom, text)

    g = widget(back, "QWidget", "layer_S1", (14, 72, 169, 55))
    layer_button(g, "btnLayer_S1", (6, 6, 159, 49))
    s = widget(g, "QSlider", "Slider_S1", (18, 26, 133, 16))
    p_number(s, "maximum", 127)
    p_number(s, "value", 30)
    p_bool(s, "tracking", True)
    p_enum(s, "orientation", "Qt::Horizontal")
    p_enum(s, "tickPosition", "QSlider::NoTicks")
    group_label(g, "label_6", "S1", 78, 8, 16, 16)

    g = widget(back, "QWidget", "layer_Dis", (424, 18, 203, 139))
    lcd = widget(g, "QLCDNumber", "lcdNumber", (20, 0, 151, 87))
    p_enum(lcd, "mode", "QLCDNumber::Dec")
    for name, x in (("Btn_F1_2", 6), ("Btn_F1_9", 46), ("Btn_F1_8", 86), ("Btn_F1_7", 128),
                    ("Btn_F1_10", 166)):
        push_button(g, name, (x, 112, 29, 21))

    # Keys of one colour and size share the face the style draws for them.
    g = widget(back, "QWidget", "layer_Key", (244, 154, 615, 215))
    for name, white, x in KEYS:
        if white:
            k = push_button(g, name, (x, 14, 37 if name == "Key30" else 36, 193), cls="customKey")
            p_palette(k, "Button", WHITE)
        else:
            k = push_button(g, name, (x, 14, 27, 123), cls="customKey")
            p_palette(k, "Button", BLACK)
    # Black keys lie above their white neighbours.
    zorder(g, *[name for name, white, _ in KEYS if not white])

    lab = group_label(back, "label_5", "BANK", 34, 162, 45, 17)
    p_font(lab, "Aharoni", 12, 75, True)
    sub(prop(lab, "buddy"), "cstring", text="BankBox")
    widget(back, "QComboBox", "BankBox", (88, 158, 83, 23))

    g = widget(back, "QWidget", "widget_7", (0, 212, 181, 129))
    layer_button(g, "BtnLayer_Zn", (18, 4, 155, 111))
    for k, geom in enumerate(((26, 14, 141, 21), (24, 48, 141, 25), (24, 82, 141, 25)), start=1):
        b = push_button(g, "btnZ%d" % k, geom, "Zone%d:Piano" % k)
        p_style(b, ZONE_BUTTON_STYLE)


def custom_widgets(root):
    """Declares the form's own widget classes that `root` uses."""
    used = {w.get("class") for w in root.iter("widget")}
    cws = None
    for cls, base, container in (("customTab", "QTabWidget", True),
                                 ("customLayer", "QWidget", True),
                                 ("customComboBox", "QComboBox", False),
                                 ("customKey", "QPushButton", False)):
        if cls not in used:
            continue
        if cws is None:
            cws = sub(root, "customwidgets")
        cw = sub(cws, "customwidget")
        sub(cw, "class", text=cls)
        sub(cw, "extends", text=base)
        sub(cw, "header", text=cls + ".h")
        if container:
            sub(cw, "container", text="1")


def main_form():
    """The main form, and the forms of the pages built later."""
    row_labels.count = 0
    root = ui_root("Korvalen49_TestClass")
    win = widget(root, "QMainWindow", "Korvalen49_TestClass", (0, 0, 897, 688))
    p_size(win, "maximumSize", 897, 698)
    p_string(win, "windowTitle", "Korvalen25 Editor ")
    p_bool(win, "animated", True)

    central = widget(win, "QWidget", "centralWidget")
    tabs = widget(central, "customTab", "tabWidget", (-2, -12, 903, 285))
    p_string(tabs, "tabBarStyleSheet", TAB_BAR_STYLE, translatable=False)
    p_number(tabs, "currentIndex", 0)
    later = build_pages(tabs)
    build_picture(central)
    # The picture is made before the page widget: the page widget measures the window's first
    # text, which waits for the font configuration, read meanwhile. The page widget still lies
    # above the picture, and the window keeps the panels first in Tab order.
    picture = central[-1]
    central.remove(picture)
    central.insert(list(central).index(tabs), picture)
    zorder(central, "backLayer3", "tabWidget")

    bar = widget(win, "QMenuBar", "menuBar", (0, 0, 897, 23))
    for name, title, actions in (("menuMenu", "Menu", ("actionUpload", "actionDownLoad")),
                                 ("menuFile", "File",
                                  ("actionSave_to_file", "actionLoad_from_file")),
                                 ("menuFirmware", "Firmware", ("actionUpgrade",))):
        m = widget(bar, "QMenu", name)
        p_string(m, "title", title)
        for a in actions:
            sub(m, "addaction", {"name": a})
    for name in ("menuMenu", "menuFile", "menuFirmware"):
        sub(bar, "addaction", {"name": name})
    widget(win, "QStatusBar", "statusBar")

    for name, text in (("actionReConnect", "ReConnect"), ("actionUpload", "Upload"),
                       ("actionDownLoad", "DownLoad"), ("actionSave_to_file", "Save to file"),
                       ("actionLoad_from_file", "Load from file"), ("actionUpgrade", "Upgrade")):
        a = sub(win, "action", {"name": name})
        p_string(a, "text", text)

    sub(root, "layoutdefault", {"spacing": "6", "margin": "11"})
    custom_widgets(root)
    sub(root, "resources")
    sub(root, "connections")
    return root, later


# ---------------------------------------------------------------------------------------------
# Upload dialog


def connection(parent, sender, signal, receiver, slot, hint_from, hint_to):
    c = sub(parent, "connection")
    sub(c, "sender", text=sender)
    sub(c, "signal", text=signal)
    sub(c, "receiver", text=receiver)
    sub(c, "slot", text=slot)
    hints = sub(c, "hints")
    for kind, (x, y) in (("sourcelabel", hint_from), ("destinationlabel", hint_to)):
        h = sub(hints, "hint", {"type": kind})
        sub(h, "x", text=str(x))
        sub(h, "y", text=str(y))


def upload_form():
    root = ui_root("UploadDlg")
    dlg = widget(root, "QDialog", "UploadDlg", (0, 0, 410, 135))
    p_string(dlg, "windowTitle", "Upload form Korvalen")
    box = widget(dlg, "QDialogButtonBox", "buttonBox", (200, 80, 151, 32))
    p_enum(box, "orientation", "Qt::Horizontal")
    p_set(box, "standardButtons", "QDialogButtonBox::Cancel|QDialogButtonBox::Ok")
    p_bool(box, "centerButtons", True)
    lab = widget(dlg, "QLabel", "label", (10, 30, 181, 16))
    p_string(lab, "text", "Select one preset to upload :")
    sub(prop(lab, "buddy"), "cstring", text="presetSelBox")
    widget(dlg, "QComboBox", "presetSelBox", (200, 30, 151, 22))
    sub(root, "resources")
    conns = sub(root, "connections")
    connection(conns, "buttonBox", "accepted()", "UploadDlg", "accept()", (248, 254), (157, 274))
    connection(conns, "buttonBox", "rejected()", "UploadDlg", "reject()", (316, 260), (286, 274))
    return root


# ---------------------------------------------------------------------------------------------
# Upgrade dialog


def upgrade_form():
    root = ui_root("UpgradeUI")
    dlg = widget(root, "QDialog", "UpgradeUI", (0, 0, 473, 326))
    sp = sub(prop(dlg, "sizePolicy"), "sizepolicy", {"hsizetype": "Fixed", "vsizetype": "Fixed"})
    sub(sp, "horstretch", text="0")
    sub(sp, "verstretch", text="0")
    p_string(dlg, "windowTitle", "FIRMWARE UPGRADE")

    def label(name, geom, text, shared_font, buddy=None):
        lab = widget(dlg, "QLabel", name, geom)
        if shared_font:
            f = sub(prop(lab, "font"), "font")
            sub(f, "family", text="Times New Roman")
            sub(f, "pointsize", text="11")
        p_string(lab, "text", text)
        if buddy is not None:
            sub(prop(lab, "buddy"), "cstring", text=buddy)

    label("label", (16, 20, 131, 17), "Device Firmware Ver:", True)
    label("label_2", (16, 52, 49, 17), "File Ver:", True)
    label("devVer", (182, 20, 25, 17), "0.00", True)
    label("fileVer", (140, 50, 70, 17), "not selected", True)
    b = widget(dlg, "QPushButton", "upgradeLoad", (384, 16, 75, 23))
    p_string(b, "text", "Load File")
    label("label_5", (320, 22, 54, 12), "Step 1:", False)
    label("label_6", (320, 50, 54, 12), "Step 2:", False)
    b = widget(dlg, "QPushButton", "upgradeStart", (384, 46, 75, 23))
    p_bool(b, "enabled", False)
    p_string(b, "text", "Start")
    bar = widget(dlg, "QProgressBar", "upgradeBar", (14, 84, 445, 23))
    p_number(bar, "value", 0)
    p_bool(bar, "textVisible", False)
    label("label_7", (16, 110, 54, 12), "LOG:", False, "upgradeLog")
    widget(dlg, "QListWidget", "upgradeLog", (16, 126, 441, 187))
    sub(root, "resources")
    sub(root, "connections")
    return root


def forms():
    main, later = main_form()
    return [(main, "korvalen49_test.ui")] + later + [(upload_form(), "upload.ui"),
                                                      (upgrade_form(), "upgrade.ui")]


def check():
    """Compares the committed forms with what this script writes; 0 when all are equal."""
    differing = 0
    for root, name in forms():
        path = ui_path(name)
        wanted = ui_text(root)
        try:
            with open(path, encoding="utf-8", newline="") as f:
                committed = f.read()
        except OSError as e:
            print("%s: cannot be read (%s)" % (path, e.strerror))
            differing += 1
            continue
        if committed == wanted:
            continue
        differing += 1
        diff = list(difflib.unified_diff(committed.splitlines(True), wanted.splitlines(True),
                                         path, "tools/gen_forms.py", n=2))
        sys.stdout.writelines(diff[:60])
        if len(diff) > 60:
            print("... (%d more diff lines)" % (len(diff) - 60))
    if differing:
        print("%d form(s) differ from what tools/gen_forms.py writes: change the tables in "
              "the script, not the .ui files, and run it again" % differing)
    return 1 if differing else 0


def main(argv):
    if argv[1:] == ["--check"]:
        return check()
    if len(argv) > 1:
        print(__doc__.strip().split("\n\n")[1], file=sys.stderr)
        return 2
    for root, name in forms():
        path = ui_path(name)
        with open(path, "w", encoding="utf-8", newline="\n") as out:
            out.write(ui_text(root))
        print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
