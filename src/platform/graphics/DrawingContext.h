#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/graphics/Color.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/PixelImage.h"

namespace plat {

enum class LineJoin { Miter, Round, Bevel };
enum class LineCap { Butt, Round, Square };
enum class TextAlignment { Left, Center, Right };

enum class DrawOp {
    SaveState,
    RestoreState,
    SetFillColor,      // color
    SetStrokeColor,    // color
    SetLineWidth,      // value
    SetLineJoin,       // join
    SetLineCap,        // cap
    SetLineDash,       // dash, value = phase (an empty dash: solid lines)
    SetAntialias,      // flag
    SetAlpha,          // value
    SetInterpolationQuality,  // value (recorded only)
    SetFlatness,       // value
    Translate,         // point = offset
    Scale,             // point = factors
    BeginTransparencyLayer,   // value = opacity of the whole group
    EndTransparencyLayer,
    FillRect,          // rect
    StrokeRect,        // rect
    ClearRect,         // rect
    BeginPath,
    MoveTo,            // point
    LineTo,            // point
    AddArc,            // point = centre, value = radius, start/end angles, flag = clockwise
    AddRect,           // rect
    AddEllipse,        // rect
    ClosePath,
    FillPath,
    StrokePath,
    FillStrokePath,
    ClipToRect,        // rect
    ClipToPath,
    DrawText,          // text, rect, font, color, alignment
    DrawImage,         // image, rect
};

// One recorded call; only the fields named for its op mean anything.
struct DrawCommand {
    DrawOp op = DrawOp::SaveState;
    Rect rect;
    Point point;
    Color color;
    double value = 0;
    double startAngle = 0, endAngle = 0;
    bool flag = false;
    LineJoin join = LineJoin::Miter;
    LineCap cap = LineCap::Butt;
    TextAlignment alignment = TextAlignment::Left;
    std::vector<double> dash;
    std::string text;
    Font font;
    ImagePtr image;

    // One line naming the op and its arguments: "fillRect 0 0 10 10".
    std::string description() const;
};

// The drawing context handed to drawing code. It records every call in order; the recording
// can be read back (tests check what a view drew) or played onto pixels. Arcs follow the
// phone's convention for a y-down screen: clockwise false turns the way angles grow, which
// looks clockwise on screen.
class DrawingContext {
public:
    void saveState();
    void restoreState();

    void setFillColor(const Color& c);
    void setStrokeColor(const Color& c);
    void setLineWidth(double w);
    void setLineJoin(LineJoin j);
    void setLineCap(LineCap c);
    void setLineDash(double phase, std::vector<double> lengths);
    void setAntialias(bool on);
    void setAlpha(double alpha);
    void setInterpolationQuality(int quality);
    void setFlatness(double flatness);
    void translate(double dx, double dy);
    void scale(double sx, double sy);
    void beginTransparencyLayer(double opacity);
    void endTransparencyLayer();

    void fillRect(const Rect& r);
    void strokeRect(const Rect& r);
    void clearRect(const Rect& r);
    void fillEllipse(const Rect& r);
    void strokeEllipse(const Rect& r);

    void beginPath();
    void moveTo(Point p);
    void lineTo(Point p);
    void addArc(Point centre, double radius, double startAngle, double endAngle, bool clockwise);
    void addRect(const Rect& r);
    void addEllipse(const Rect& r);
    // A closed rectangle with rounded corners on the chosen sides (both by default), begun
    // with a move to its top edge.
    void addRoundedRect(const Rect& r, double radius, bool roundLeft = true, bool roundRight = true);
    void closePath();
    void fillPath();
    void strokePath();
    void fillStrokePath();
    void clipToRect(const Rect& r);
    void clipToPath();

    // Text laid out inside rect, broken at newlines, in the given font and colour. With a
    // minimum scale above 0, a line wider than rect is drawn in a smaller font, down to that
    // fraction of the size (the width is known only where real glyphs are drawn).
    void drawText(const std::string& text, const Rect& rect, const Font& font, const Color& color,
                  TextAlignment alignment = TextAlignment::Left, double minimumScale = 0);
    // Text whose first line starts at point (top left).
    void drawText(const std::string& text, Point at, const Font& font, const Color& color);
    // An image stretched into rect; an image without pixels draws nothing.
    void drawImage(const ImagePtr& image, const Rect& rect);

    const std::vector<DrawCommand>& commands() const { return commands_; }
    void clear() { commands_.clear(); }
    // Commands of one op, in order.
    std::vector<DrawCommand> commandsOf(DrawOp op) const;
    // description() of every command, one a line.
    std::string transcript() const;

    // Plays the recording onto a transparent picture of size × scale pixels.
    PixelImage render(Size size, double scale = 1) const;
    bool writePng(const std::filesystem::path& path, Size size, double scale = 1,
                  std::string* error = nullptr) const;

private:
    DrawCommand& add(DrawOp op);
    std::vector<DrawCommand> commands_;
};

}  // namespace plat
