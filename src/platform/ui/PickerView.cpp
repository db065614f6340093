#include "platform/ui/PickerView.h"

#include <algorithm>

#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/Label.h"

namespace plat {

PickerView::PickerView(const Rect& frame) : View(frame) {}

void PickerView::setDataSource(std::weak_ptr<PickerViewDataSource> ds) {
    dataSource_ = std::move(ds);
    needsReload_ = true;
}

void PickerView::setDelegate(std::weak_ptr<PickerViewDelegate> d) {
    delegate_ = std::move(d);
    needsReload_ = true;
}

PickerView::Wheel PickerView::loadWheel(long component, Wheel previous) {
    auto ds = dataSource_.lock();
    Wheel w;
    w.rows = ds ? std::max(0L, ds->numberOfRows(*this, component)) : 0;
    // The selection stays where it was when the wheel still has that row.
    w.selected = w.rows == 0 ? 0 : std::clamp(previous.selected, 0L, w.rows - 1);
    w.rowViews = std::move(previous.rowViews);
    w.rowViews.resize(static_cast<std::size_t>(w.rows));
    return w;
}

void PickerView::ensureLoaded() {
    if (!needsReload_) return;
    needsReload_ = false;
    auto ds = dataSource_.lock();
    long n = ds ? std::max(0L, ds->numberOfComponents(*this)) : 0;
    std::vector<Wheel> old = std::move(wheels_);
    wheels_.clear();
    for (long c = 0; c < n; ++c) {
        wheels_.push_back(loadWheel(c, c < static_cast<long>(old.size()) ? std::move(old[static_cast<std::size_t>(c)]) : Wheel{}));
    }
}

long PickerView::numberOfComponents() {
    ensureLoaded();
    return static_cast<long>(wheels_.size());
}

long PickerView::numberOfRows(long component) {
    if (component < 0 || component >= numberOfComponents()) return 0;
    return wheels_[static_cast<std::size_t>(component)].rows;
}

void PickerView::reloadAllComponents() {
    needsReload_ = true;
    ensureLoaded();
}

void PickerView::reloadComponent(long component) {
    if (component < 0 || component >= numberOfComponents()) return;
    auto& w = wheels_[static_cast<std::size_t>(component)];
    w = loadWheel(component, std::move(w));
}

void PickerView::selectRow(long row, long component, bool animated) {
    if (row < 0 || row >= numberOfRows(component)) return;
    wheels_[static_cast<std::size_t>(component)].selected = row;
    lastAnimated_ = animated;
    setNeedsDisplay();
}

long PickerView::selectedRow(long component) {
    if (numberOfRows(component) == 0) return -1;
    return wheels_[static_cast<std::size_t>(component)].selected;
}

bool PickerView::spin(long row, long component) {
    if (!acceptsTouches() || row < 0 || row >= numberOfRows(component)) return false;
    selectRow(row, component, true);
    auto keep = weak_from_this().lock();
    if (auto d = delegate_.lock()) d->didSelectRow(*this, row, component);
    return true;
}

std::shared_ptr<View> PickerView::viewForRow(long row, long component) {
    if (row < 0 || row >= numberOfRows(component)) return nullptr;
    auto d = delegate_.lock();
    if (!d) return nullptr;
    auto& slot = wheels_[static_cast<std::size_t>(component)].rowViews[static_cast<std::size_t>(row)];
    slot = d->viewForRow(*this, row, component, slot);
    return slot;
}

std::string PickerView::titleForRow(long row, long component) {
    if (row < 0 || row >= numberOfRows(component)) return {};
    auto d = delegate_.lock();
    if (!d) return {};
    std::string title = d->titleForRow(*this, row, component);
    if (!title.empty()) return title;
    auto v = viewForRow(row, component);
    return v ? v->displayText() : std::string{};
}

double PickerView::widthForComponent(long component) {
    auto d = delegate_.lock();
    double w = d ? d->widthForComponent(*this, component) : kAutomaticDimension;
    if (w >= 0) return w;
    long n = std::max(1L, numberOfComponents());
    return (bounds().width() - kComponentSpacing * static_cast<double>(n - 1) - 20) / static_cast<double>(n);
}

double PickerView::rowHeightForComponent(long component) {
    auto d = delegate_.lock();
    double h = d ? d->rowHeightForComponent(*this, component) : kAutomaticDimension;
    return h >= 0 ? h : 32;
}

double PickerView::xOfComponent(long component) {
    long n = numberOfComponents();
    double total = 0;
    for (long c = 0; c < n; ++c) total += widthForComponent(c) + (c ? kComponentSpacing : 0);
    double x = (bounds().width() - total) / 2;
    for (long c = 0; c < component && c < n; ++c) x += widthForComponent(c) + kComponentSpacing;
    return x;
}

void PickerView::addLabel(const std::string& text, double fontSize, long component, double x, double baselineFontSize) {
    if (!labelKeys_.insert({component, text}).second) return;
    Font font = Font::boldSystem(fontSize);
    Font baseline = Font::boldSystem(baselineFontSize);
    // The row text of the baseline font sits centred on the bar; the label shares its baseline.
    double barMid = bounds().height() / 2;
    double baselineY = barMid - baseline.lineHeight() / 2 + baseline.size;
    auto label = std::make_shared<Label>(
        Rect{xOfComponent(component) + x, baselineY - font.size, font.widthOf(text) + 2, font.lineHeight()}, text);
    label->setFont(font);
    label->setBackgroundColor(Color::clear());
    labels_.push_back(label);
    addSubview(label);
}

std::vector<std::shared_ptr<Label>> PickerView::selectionLabels() const { return labels_; }

void PickerView::drawSelectionBar(DrawingContext& ctx, const Rect& rect, double rowHeight) {
    const Rect bar{rect.x(), rect.midY() - rowHeight / 2, rect.width(), rowHeight};
    ctx.setFillColor(Color::rgba(0.93, 0.94, 0.96));
    ctx.fillRect(bar);
    ctx.setStrokeColor(Color::rgba(0.78, 0.78, 0.8));
    ctx.setLineWidth(0.5);
    ctx.strokeRect(bar);
}

double PickerView::rowOpacity(long distance) {
    // Rows away from the selection fade, yet stay readable (3:1 against white).
    return distance == 0 ? 1 : distance == 1 || distance == -1 ? 0.6 : 0.45;
}

void PickerView::drawRect(DrawingContext& ctx, const Rect& rect) {
    // Each wheel shows its chosen row on the selection bar and two rows either side, fading
    // with their distance from it; a row's text or view sits centred in its wheel.
    ensureLoaded();
    const Font f = Font::system(21);
    ctx.setFillColor(Color::white());
    ctx.fillRect(rect);
    if (showsIndicator_) drawSelectionBar(ctx, rect, 32);
    for (long c = 0; c < static_cast<long>(wheels_.size()); ++c) {
        const double x = xOfComponent(c), w = widthForComponent(c), h = rowHeightForComponent(c);
        const long sel = selectedRow(c);
        for (long dr = -2; dr <= 2; ++dr) {
            const long r = sel + dr;
            if (r < 0 || r >= numberOfRows(c)) continue;
            const double mid = rect.midY() + static_cast<double>(dr) * h;
            ctx.beginTransparencyLayer(rowOpacity(dr));
            if (auto view = viewForRow(r, c)) {
                const double vw = std::min(view->frame().width(), w), vh = std::min(view->frame().height(), h);
                view->setFrame(Rect{x + (w - vw) / 2, mid - vh / 2, vw, vh});
                view->drawHierarchy(ctx);
            } else {
                ctx.drawText(titleForRow(r, c), Rect{x + 4, mid - f.lineHeight() / 2, w - 8, f.lineHeight()}, f,
                             Color::black(), TextAlignment::Center, 0.6);
            }
            ctx.endTransparencyLayer();
        }
    }
}

void PickerView::describeContent(DescriptionWriter& out) const {
    auto* self = const_cast<PickerView*>(this);
    out.line("Picker");
    DescriptionWriter::Nested nested(out);
    for (long c = 0; c < self->numberOfComponents(); ++c) {
        long sel = self->selectedRow(c);
        std::string line = "Wheel " + std::to_string(c) + " " + DescriptionWriter::quoted(self->titleForRow(sel, c)) +
                           " (row " + std::to_string(sel) + " of " + std::to_string(self->numberOfRows(c)) + ")";
        out.line(line);
    }
    for (const auto& l : labels_) l->describeInto(out);
}

}  // namespace plat
