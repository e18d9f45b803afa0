// Layout arithmetic, checked with exact rectangles.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "toolkit/LayoutPass.h"

namespace {

using toolkit::Control;
using toolkit::ControlKind;
using toolkit::Rect;

Control* AddChild(Control* parent, ControlKind kind, const std::string& attributes) {
  auto child = std::make_unique<Control>(kind);
  std::string error;
  size_t start = 0;
  // "name=value;name=value"
  while (start < attributes.size()) {
    size_t end = attributes.find(';', start);
    if (end == std::string::npos) end = attributes.size();
    const std::string pair = attributes.substr(start, end - start);
    const size_t equals = pair.find('=');
    EXPECT_TRUE(child->SetAttribute(pair.substr(0, equals), pair.substr(equals + 1), &error)) << error;
    start = end + 1;
  }
  return parent->Add(std::move(child));
}

TEST(LayoutPassTest, VerticalFixedAndStretchingWithPaddingInsetAndGaps) {
  Control root(ControlKind::kWindow);
  Control* column = AddChild(&root, ControlKind::kVerticalLayout, "inset=10,20,10,20;childpadding=5");
  Control* title = AddChild(column, ControlKind::kLabel, "height=30;padding=4,0,6,0");
  Control* body = AddChild(column, ControlKind::kLabel, "");
  Control* hidden = AddChild(column, ControlKind::kLabel, "height=50;visible=false");
  Control* button = AddChild(column, ControlKind::kButton, "width=200;height=40;padding=0,3,0,2");
  AddChild(hidden, ControlKind::kLabel, "");
  toolkit::ArrangeWindow(&root, {650, 360});
  EXPECT_EQ(column->rect, (Rect{0, 0, 650, 360}));
  EXPECT_EQ(title->rect, (Rect{14, 20, 634, 50}));
  // 320 inside the inset - 30 - 45 (button and its padding) - 2 gaps of 5 = 235.
  EXPECT_EQ(body->rect, (Rect{10, 55, 640, 290}));
  EXPECT_EQ(hidden->rect, Rect{});
  EXPECT_EQ(button->rect, (Rect{10, 298, 210, 338}));
}

TEST(LayoutPassTest, HorizontalSharesTheRestWithinMinAndMax) {
  Control root(ControlKind::kWindow);
  Control* row = AddChild(&root, ControlKind::kHorizontalLayout, "height=28");
  Control* capped = AddChild(row, ControlKind::kLabel, "maxwidth=100");
  Control* free1 = AddChild(row, ControlKind::kLabel, "");
  Control* free2 = AddChild(row, ControlKind::kLabel, "");
  Control* floored = AddChild(row, ControlKind::kLabel, "minwidth=300;height=10");
  AddChild(&root, ControlKind::kControl, "");
  toolkit::ArrangeWindow(&root, {700, 100});
  EXPECT_EQ(row->rect, (Rect{0, 0, 700, 28}));
  // 700: the floored label takes 300, the capped one 100, the others 150 each.
  EXPECT_EQ(capped->rect, (Rect{0, 0, 100, 28}));
  EXPECT_EQ(free1->rect, (Rect{100, 0, 250, 28}));
  EXPECT_EQ(free2->rect, (Rect{250, 0, 400, 28}));
  EXPECT_EQ(floored->rect, (Rect{400, 0, 700, 10}));
  EXPECT_EQ(root.children()[1]->rect, (Rect{0, 28, 700, 100}));

  // 101 left for three: the rounding remainder goes to the last of them.
  toolkit::ArrangeWindow(&root, {401, 100});
  EXPECT_EQ(capped->rect.Width(), 33);
  EXPECT_EQ(free1->rect.Width(), 33);
  EXPECT_EQ(free2->rect.Width(), 35);
  // Too narrow: stretching children shrink to nothing, never below.
  toolkit::ArrangeWindow(&root, {50, 100});
  EXPECT_EQ(free1->rect.Width(), 0);
  EXPECT_EQ(floored->rect.Width(), 300);
}

// Right to left, the row starts at the window's right edge: each rectangle
// is reflected, a hidden control stays empty, and the inset swaps sides.
TEST(LayoutPassTest, AMirroredWindowReflectsEveryRectangle) {
  Control root(ControlKind::kWindow);
  Control* row = AddChild(&root, ControlKind::kHorizontalLayout, "height=28;inset=4,0,10,0");
  Control* box = AddChild(row, ControlKind::kCheckBox, "width=20");
  Control* hidden = AddChild(row, ControlKind::kLabel, "width=50;visible=false");
  Control* label = AddChild(row, ControlKind::kLabel, "");
  toolkit::ArrangeWindow(&root, {200, 100}, true);
  EXPECT_EQ(row->rect, (Rect{0, 0, 200, 28}));
  EXPECT_EQ(box->rect, (Rect{176, 0, 196, 28}));
  EXPECT_EQ(label->rect, (Rect{10, 0, 176, 28}));
  EXPECT_EQ(hidden->rect, Rect{});
  EXPECT_EQ(toolkit::ShownInset(*row, true), (Rect{10, 0, 4, 0}));
  EXPECT_EQ(toolkit::ShownInset(*row, false), (Rect{4, 0, 10, 0}));
}

TEST(LayoutPassTest, TabsShowOnePageFloatsSitAtTheirPosAndComboItemsTakeNoSpace) {
  Control root(ControlKind::kWindow);
  Control* tab = AddChild(&root, ControlKind::kTabLayout, "height=200;inset=1,1,1,1;selectedid=1");
  Control* page0 = AddChild(tab, ControlKind::kVerticalLayout, "");
  Control* inner0 = AddChild(page0, ControlKind::kButton, "height=20");
  Control* page1 = AddChild(tab, ControlKind::kVerticalLayout, "padding=2,2,2,2");
  Control* floater = AddChild(page1, ControlKind::kButton, "float=true;pos=600,5,620,25");
  Control* sized = AddChild(page1, ControlKind::kButton, "float=true;pos=10,10,0,0;width=6;height=6");
  Control* combo = AddChild(page1, ControlKind::kCombo, "width=300;height=28");
  Control* item = AddChild(combo, ControlKind::kListLabelElement, "");
  toolkit::ArrangeWindow(&root, {650, 560});
  EXPECT_EQ(page0->rect, Rect{});
  EXPECT_EQ(inner0->rect, Rect{});
  EXPECT_EQ(page1->rect, (Rect{3, 3, 647, 197}));
  EXPECT_EQ(floater->rect, (Rect{603, 8, 623, 28}));
  EXPECT_EQ(sized->rect, (Rect{13, 13, 19, 19}));
  EXPECT_EQ(combo->rect, (Rect{3, 3, 303, 31}));  // floats take no place in the line
  EXPECT_EQ(item->rect, Rect{});

  ASSERT_TRUE(tab->SelectIndex(0));
  toolkit::ArrangeWindow(&root, {650, 560});
  EXPECT_EQ(inner0->rect, (Rect{1, 1, 649, 21}));
  EXPECT_EQ(floater->rect, Rect{});
}

// A text on pages not shown, two tabs deep, is measured where it would be;
// what is not shown stays unarranged.
TEST(LayoutPassTest, ShownRectPlacesAControlOnPagesNotShown) {
  Control root(ControlKind::kWindow);
  Control* tab = AddChild(&root, ControlKind::kTabLayout, "height=200;inset=1,1,1,1;selectedid=1");
  Control* page0 = AddChild(tab, ControlKind::kVerticalLayout, "padding=2,2,2,2");
  Control* inner = AddChild(page0, ControlKind::kTabLayout, "inset=10,0,20,0");
  AddChild(inner, ControlKind::kVerticalLayout, "");
  Control* innerPage = AddChild(inner, ControlKind::kVerticalLayout, "inset=30,16,14,16");
  Control* text = AddChild(innerPage, ControlKind::kText, "height=50;padding=0,0,10,0");
  Control* page1 = AddChild(tab, ControlKind::kVerticalLayout, "");
  toolkit::ArrangeWindow(&root, {650, 560});
  const Rect shown{3 + 10 + 30, 3 + 16, 647 - 20 - 14 - 10, 3 + 16 + 50};
  EXPECT_EQ(toolkit::ShownRect(text), shown);
  EXPECT_EQ(page0->rect, Rect{});
  EXPECT_EQ(text->rect, Rect{});
  EXPECT_EQ(page1->rect, (Rect{1, 1, 649, 199}));

  ASSERT_TRUE(tab->SelectIndex(0));
  ASSERT_TRUE(inner->SelectIndex(1));
  toolkit::ArrangeWindow(&root, {650, 560});
  EXPECT_EQ(text->rect, shown);
  EXPECT_EQ(toolkit::ShownRect(text), shown);
}

// The licence panel: a 1590-high text in a 200-high scrolling panel.
TEST(LayoutPassTest, ScrollingLayoutMovesItsChildrenWithinItsLimit) {
  Control root(ControlKind::kWindow);
  Control* panel = AddChild(&root, ControlKind::kVerticalLayout, "height=200;vscrollbar=true;inset=30,16,14,16");
  Control* text = AddChild(panel, ControlKind::kVerticalLayout, "height=1590");
  Control* line = AddChild(text, ControlKind::kText, "height=20");
  Control* hidden = AddChild(text, ControlKind::kText, "visible=false");
  toolkit::ArrangeWindow(&root, {650, 560});
  EXPECT_EQ(text->rect, (Rect{30, 16, 636, 1606}));
  EXPECT_EQ(toolkit::ScrollLimit(*panel), 1590 - 168);

  panel->state.scrollY = 100;
  toolkit::ArrangeWindow(&root, {650, 560});
  EXPECT_EQ(text->rect, (Rect{30, -84, 636, 1506}));
  EXPECT_EQ(line->rect, (Rect{30, -84, 636, -64}));  // moved with its parent
  EXPECT_EQ(hidden->rect, Rect{});
  EXPECT_EQ(toolkit::ScrollLimit(*panel), 1590 - 168);  // the same while scrolled

  panel->state.scrollY = 5000;  // past the end: clamped
  toolkit::ArrangeWindow(&root, {650, 560});
  EXPECT_EQ(panel->state.scrollY, 1590 - 168);
  EXPECT_EQ(text->rect.bottom, 184);  // the content's end meets the inset's edge
  panel->state.scrollY = -3;
  toolkit::ArrangeWindow(&root, {650, 560});
  EXPECT_EQ(panel->state.scrollY, 0);
}

}  // namespace
