// Every key kv looks up in the language table, in one place. Code uses these
// constants, and a test checks that each one is defined by every language
// source in lang/. Keys of parts that are not built yet are listed too, so
// the language files stay complete.
#pragma once

#include <array>
#include <string_view>

namespace key {

// Message box captions.
inline constexpr char Err[] = "Err";
inline constexpr char Warn[] = "Warn";
inline constexpr char Error[] = "Error";

// Start-up and language files.
inline constexpr char InvSwitch[] = "InvSwitch";
inline constexpr char ImgBig[] = "ImgBig";
inline constexpr char CantLoadLngFile[] = "Can't Load Language File";
inline constexpr char CantSaveLngFile[] = "CantSaveLngFile";
inline constexpr char CantFindLngFile[] = "CantFindLngFile";

// Documents, view and status bar.
inline constexpr char Untitled[] = "Untitled";
inline constexpr char Zm[] = "Zm";
inline constexpr char ProcIn[] = "ProcIn";
inline constexpr char Sec[] = "Sec";
inline constexpr char Alt[] = "Alt";
inline constexpr char Ctrl[] = "Ctrl";
inline constexpr char Shift[] = "Shift";

// File commands.
inline constexpr char FormNotSup[] = "FormNotSup";
inline constexpr char ErrOpenImg[] = "ErrOpenImg";
inline constexpr char ErrLoadImg[] = "ErrLoadImg";
inline constexpr char ErrSaveImgForm[] = "ErrSaveImgForm";
inline constexpr char ErrSaveImg[] = "ErrSaveImg";
inline constexpr char ErrClp[] = "ErrClp";
inline constexpr char ErrScan[] = "ErrScan";
inline constexpr char NoPrinter[] = "NoPrinter";
inline constexpr char ErrPrn[] = "ErrPrn";
inline constexpr char NoMem[] = "NoMem";
inline constexpr char Changed[] = "Changed";
inline constexpr char Update[] = "Update";
inline constexpr char All[] = "All";
inline constexpr char OpenImage[] = "Open Image";
inline constexpr char SaveImage[] = "Save Image";
inline constexpr char ImgSaved[] = "Img saved";
inline constexpr char Image[] = "Image";
inline constexpr char OpenBrush[] = "Open Brush";
inline constexpr char SaveBrush[] = "Save Brush";
inline constexpr char BrTooBig[] = "BrTooBig";
// Image > Stretch / Mirror with a width or height of 0.
inline constexpr char StretchZero[] = "StretchZero";
inline constexpr char RasterFontMark[] = "RasterFontMark";
// The Open dialog's file description.
inline constexpr char Date[] = "Date";
inline constexpr char SizeInB[] = "SizeInB";
inline constexpr char WithPal[] = "WithPal";
inline constexpr char Size[] = "Size";
inline constexpr char Pixels[] = "Pixels";
inline constexpr char BPP[] = "BPP";
inline constexpr char BPCC[] = "BPCC";
// The image browser.
inline constexpr char ImgBr[] = "ImgBr";
inline constexpr char EffBr[] = "EffBr";
inline constexpr char KBytes[] = "KBytes";

// Colours and palette.
inline constexpr char SelDrawCol[] = "SelDrawCol";
inline constexpr char SelBackCol[] = "SelBackCol";
inline constexpr char SelShadCol[] = "SelShadCol";
inline constexpr char ErrSavePal[] = "ErrSavePal";
inline constexpr char ErrOpenPal[] = "ErrOpenPal";
inline constexpr char FastPalettes[] = "Fast Palettes (*.pal)";
inline constexpr char OpenFastPalette[] = "Open Fast Palette";
inline constexpr char SaveFastPalette[] = "Save Fast Palette";
// The locale of Qt's own catalogue for the language ("de").
inline constexpr char QtLocale[] = "QtLocale";
// The text in the progress bar while an operation runs.
inline constexpr char Processing[] = "Processing";

// Custom filter.
inline constexpr char CantOpenFilter[] = "CantOpenFilter";
inline constexpr char CantSaveFilter[] = "CantSaveFilter";
inline constexpr char PreviewCaption[] = "&Preview";
inline constexpr char Stop[] = "&Stop";
// Components: the failure message is ErrKVC, the name, ErrKVC2 and the reason;
// CompsRefused heads the list of components the scan could not use.
inline constexpr char ErrKVC[] = "ErrKVC";
inline constexpr char ErrKVC2[] = "ErrKVC2";
inline constexpr char Browse[] = "Browse";
inline constexpr char CompsRefused[] = "CompsRefused";
// A component's texts are looked up as "~" + text.
inline constexpr std::string_view ComponentPrefix = "~";
inline constexpr char CustomFilterFiles[] = "Custom Filter (*.ACF)";
inline constexpr char LoadCustomFilter[] = "Load Custom Filter";
inline constexpr char SaveCustomFilter[] = "Save Custom Filter";
// Filter Factory.
inline constexpr char NotValidFF[] = "NotValidFF";
inline constexpr char CantSaveComp[] = "CantSaveComp";
// Make refuses a filter with a syntax error, or one too long for a component.
inline constexpr char CantMakeSyntax[] = "CantMakeSyntax";
inline constexpr char CantMakeTooBig[] = "CantMakeTooBig";
inline constexpr char FilterFactoryFiles[] = "Filter Factory Source (*.AFS)";
inline constexpr char LoadFilterFactory[] = "Load Filter Factory";
inline constexpr char SaveFilterFactory[] = "Save Filter Factory";
inline constexpr char ComponentFiles[] = "KVC File (*.KVC)";
inline constexpr char SaveComponent[] = "Save KVC";

// Help window; "HelpFile" is the manual's contents page of the language.
inline constexpr char HelpFile[] = "HelpFile";
inline constexpr char HelpTitle[] = "Vellumatic Help";
inline constexpr char HelpBack[] = "&Back";
inline constexpr char HelpForward[] = "&Forward";
inline constexpr char HelpContents[] = "&Contents";
inline constexpr char HelpSearch[] = "Search";
inline constexpr char HelpNoHits[] = "No page contains these words.";
inline constexpr char HelpNoManual[] = "The manual is not installed.";
inline constexpr std::string_view kHelpKeys[] = {HelpTitle,  HelpBack,   HelpForward, HelpContents,
                                                 HelpSearch, HelpNoHits, HelpNoManual};

// The brush shelf's context menu.
inline constexpr char ShelfPin[] = "ShelfPin";
inline constexpr char ShelfUnpin[] = "ShelfUnpin";
inline constexpr char ShelfRemove[] = "ShelfRemove";

// Undo and crash recovery.
inline constexpr char Redo[] = "Redo";
inline constexpr char RecoverAsk[] = "RecoverAsk";
inline constexpr char RecoverBad[] = "RecoverBad";

inline constexpr std::string_view kMessageKeys[] = {
    Err, Warn, Error, InvSwitch, ImgBig, CantLoadLngFile, CantSaveLngFile, CantFindLngFile,
    Untitled, Zm, ProcIn, Sec, Alt, Ctrl, Shift, FormNotSup, ErrOpenImg, QtLocale, Processing,
    // Colours and palette
    SelDrawCol, SelBackCol, SelShadCol, ErrSavePal, ErrOpenPal, FastPalettes, OpenFastPalette,
    SaveFastPalette, Redo, RecoverAsk, RecoverBad, ShelfPin, ShelfUnpin, ShelfRemove,
    // Brushes, components, filters
    "NoMem", "BrTooBig", StretchZero, ErrKVC, ErrKVC2, Browse, CompsRefused, "HelpFile",
    "CantOpenFilter", "CantSaveFilter", "NotValidFF", "CantSaveComp", CantMakeSyntax,
    CantMakeTooBig, "&Preview", "&Stop", CustomFilterFiles, LoadCustomFilter, SaveCustomFilter,
    FilterFactoryFiles, LoadFilterFactory, SaveFilterFactory, ComponentFiles, SaveComponent,
    RasterFontMark,
    // File commands, browser, open preview, information, printing
    "ErrLoadImg", "ErrSaveImgForm", "ErrSaveImg", "ErrClp", "ErrScan", "NoPrinter", "Changed",
    "Update", "All", "Open Image", "Open Brush", "Save Image", "Save Brush", "Img saved", ImgBr,
    EffBr, Pixels, KBytes, SizeInB, Date, "Image", "Color", "Grayscale", WithPal, Size, BPP, BPCC,
    "ErrPrn"};

// Status texts of the tools.
inline constexpr std::string_view kStatusKeys[] = {
    "Pen",          "LnStr",         "LnEnd",       "SplnStr",      "SplnEnd",     "SplnCtr",
    "BoxStr",       "Box2",          "CircleIO",    "Circle2",      "EllipseIO",   "Ellipse2",
    "CutBrush",     "CutBrush2",     "CutResize",   "CutDraw",      "CutPoly",     "CutWand",
    "FillIP",       "FillPos",       "FillPoly",    "SprayIP",      "AirBrushIP",  "GetColor",
    "ChangeColor",  "GridSet",       "ResizeBrush", "ResizeBrush2", "ResizeSpray", "ResizeSpray2",
    "StretchBrush", "StretchBrush2", "RotateBrush", "RotateBrush2", "BendBrush",   "BendBrush2",
    "ShearBrush",   "ShearBrush2",   "TextIP",      "CloneIP"};

// The English tool names, in the order of the tool-name table (index 0 to 40).
inline constexpr std::array<std::string_view, 41> kToolNames = {"Circular Brush",
                                                                "Rectangular Brush",
                                                                "Continuous Freehand",
                                                                "Dotted Freehand",
                                                                "Single Freehand",
                                                                "Single Line",
                                                                "Continuous Line",
                                                                "Single Curve",
                                                                "Continuous Curve",
                                                                "Filled Rectangle",
                                                                "Rectangle",
                                                                "Filled Square",
                                                                "Square",
                                                                "Circle",
                                                                "Filled Circle",
                                                                "Ellipse",
                                                                "Filled Ellipse",
                                                                "Filled Shape",
                                                                "Filled Polygon",
                                                                "Solid Fill",
                                                                "Pattern Fill",
                                                                "Spray",
                                                                "Airbrush",
                                                                "Cut Rectangle",
                                                                "Cut Predefined Rectangle",
                                                                "Cut Freehand",
                                                                "Cut Polygon",
                                                                "Cut with Magic Wand",
                                                                "Write Text",
                                                                "Get Color",
                                                                "Change Color",
                                                                "Grid",
                                                                "Undo Last Action",
                                                                "Clear Image",
                                                                "3x3",
                                                                "11x11",
                                                                "21x21",
                                                                "3x3",
                                                                "11x11",
                                                                "21x21",
                                                                "Clone"};

// Parameter-bar names; their translations are the bar descriptors.
inline constexpr std::string_view kBarNames[] = {
    "LINEBAR", "CURVEBAR",   "CIRCLEBAR",   "ELLIPSEBAR", "CUTBAR",
    "WANDBAR", "SPRAYBAR",   "AIRBRUSHBAR", "SFILLBAR",   "PFILLBAR",
    "TEXTBAR", "STRETCHBAR", "ROTATEBAR",   "CLONEBAR",   "CHBAR"};

// Window sections translated after every language load.
inline constexpr char TranslationsSection[] = "[Translations]";

} // namespace key
