#pragma once

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/TableView.h"
#include "platform/ui/View.h"

namespace plat {

class PickerView;
class Label;

class PickerViewDataSource {
public:
    virtual ~PickerViewDataSource() = default;
    virtual long numberOfComponents(PickerView&) = 0;
    virtual long numberOfRows(PickerView&, long component) = 0;
};

class PickerViewDelegate {
public:
    virtual ~PickerViewDelegate() = default;
    virtual std::string titleForRow(PickerView&, long row, long component) {
        (void)row;
        (void)component;
        return {};
    }
    // A view for the row instead of a title; `reusing` is the view the row had before, if any.
    virtual std::shared_ptr<View> viewForRow(PickerView&, long row, long component, std::shared_ptr<View> reusing) {
        (void)row;
        (void)component;
        (void)reusing;
        return nullptr;
    }
    virtual double widthForComponent(PickerView&, long component) {
        (void)component;
        return kAutomaticDimension;
    }
    virtual double rowHeightForComponent(PickerView&, long component) {
        (void)component;
        return kAutomaticDimension;
    }
    virtual void didSelectRow(PickerView&, long row, long component) {
        (void)row;
        (void)component;
    }
};

// Wheels of rows with one selected row each. Selecting from code tells nobody; a spin by the
// person tells the delegate.
class PickerView : public View {
public:
    static constexpr double kHeight = 216;
    static constexpr double kComponentSpacing = 5;

    explicit PickerView(const Rect& frame = {0, 0, 320, kHeight});

    void setDataSource(std::weak_ptr<PickerViewDataSource> ds);
    void setDelegate(std::weak_ptr<PickerViewDelegate> d);
    bool showsSelectionIndicator() const { return showsIndicator_; }
    void setShowsSelectionIndicator(bool on) { showsIndicator_ = on; }

    long numberOfComponents();
    long numberOfRows(long component);
    void reloadAllComponents();
    void reloadComponent(long component);

    // Selects a row; a row outside the wheel changes nothing. The animation flag is kept.
    void selectRow(long row, long component, bool animated);
    // -1 for a wheel without rows or outside the picker.
    long selectedRow(long component);
    bool lastSelectAnimated() const { return lastAnimated_; }
    // The person turns a wheel to a row: it is selected and the delegate told.
    bool spin(long row, long component);

    // What a row shows: the delegate's title, or the text of its row view.
    std::string titleForRow(long row, long component);
    std::shared_ptr<View> viewForRow(long row, long component);
    double widthForComponent(long component);
    double rowHeightForComponent(long component);
    // Left edge of a wheel in the picker (wheels are centred, 5 points apart).
    double xOfComponent(long component);

    // A fixed label on the selection bar over a wheel, its left edge at x within the wheel and
    // its baseline on that of a row text of the given font size. Adding the same text to the
    // same wheel again changes nothing.
    void addLabel(const std::string& text, double fontSize, long component, double x, double baselineFontSize);
    std::vector<std::shared_ptr<Label>> selectionLabels() const;

    void drawRect(DrawingContext& context, const Rect& rect) override;
    // The look the wheel pickers share: the band across the middle row, and how strongly a row
    // shows at a distance from it.
    static void drawSelectionBar(DrawingContext& context, const Rect& rect, double rowHeight);
    static double rowOpacity(long distance);
    std::string kindName() const override { return "Picker"; }
    std::string describeLine() const override { return "Picker"; }
    void describeContent(DescriptionWriter& out) const override;

private:
    struct Wheel {
        long rows = 0;
        long selected = 0;
        std::vector<std::shared_ptr<View>> rowViews;
    };
    void ensureLoaded();
    Wheel loadWheel(long component, Wheel previous);

    std::weak_ptr<PickerViewDataSource> dataSource_;
    std::weak_ptr<PickerViewDelegate> delegate_;
    bool showsIndicator_ = false;
    std::vector<Wheel> wheels_;
    bool needsReload_ = true;
    bool lastAnimated_ = false;
    std::set<std::pair<long, std::string>> labelKeys_;
    std::vector<std::shared_ptr<Label>> labels_;
};

}  // namespace plat
