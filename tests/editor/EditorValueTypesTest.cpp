// The small value types every editor control uses: rectangles, menus and key codes.
#include <gtest/gtest.h>

#include "editor/IBounds.h"
#include "editor/IKeyCode.h"
#include "editor/IMenuModel.h"
#include "editor/IScriptedResponder.h"

TEST(EditorValueTypes, BoundsRules) {
  const IBounds empty;
  const IBounds r(10, 20, 30, 40);
  EXPECT_TRUE(empty.Empty());
  EXPECT_FALSE(IBounds(0, 0, 0, 1).Empty());
  EXPECT_TRUE(r.Contains(10, 20));
  EXPECT_FALSE(r.Contains(30, 20));  // right and bottom lie outside
  EXPECT_FALSE(r.Contains(10, 40));
  EXPECT_FALSE(empty.Contains(0, 0));
  // The right and bottom edges count as touching, the left and top ones do not.
  EXPECT_TRUE(r.Overlaps(IBounds(30, 40, 50, 50)));
  EXPECT_FALSE(IBounds(30, 40, 50, 50).Overlaps(r));
  EXPECT_FALSE(r.Overlaps(empty));
  EXPECT_EQ(r.Intersect(IBounds(25, 0, 100, 35)), IBounds(25, 20, 30, 35));
  EXPECT_EQ(r.Intersect(IBounds(31, 0, 100, 35)), IBounds());
  EXPECT_EQ(r.Union(empty), r);
  EXPECT_EQ(empty.Union(r), r);
  EXPECT_EQ(r.Union(IBounds(0, 30, 15, 100)), IBounds(0, 20, 30, 100));
}

TEST(EditorValueTypes, KeyCodes) {
  EXPECT_EQ(KeyCodeForCharacter(' '), 0);
  EXPECT_EQ(KeyCodeForCharacter('0'), 5);
  EXPECT_EQ(KeyCodeForCharacter('9'), 14);
  EXPECT_EQ(KeyCodeForCharacter('a'), 15);
  EXPECT_EQ(KeyCodeForCharacter('Z'), 40);
  EXPECT_EQ(KeyCodeForCharacter('z'), KeyCodeForCharacter('Z'));
  for (int c : {10, 45, 64, 91, 96, 123, 0, 200}) EXPECT_EQ(KeyCodeForCharacter(c), kKeyNone) << c;  // \n - @ [ ` {
}

TEST(EditorValueTypes, MenuInsertionPositions) {
  IMenuModel menu;
  menu.AddItem("b");
  menu.AddItem("d", -1);
  menu.AddItem("a", 0);
  menu.AddItem("c", 2);
  menu.AddItem("e", 99);   // beyond the end: appended
  menu.AddItem("z", -5);   // below -1: at the front
  menu.AddSeparator(1);
  std::string order;
  for (int i = 0; i < menu.NItems(); ++i) order += menu.Item(i)->IsSeparator() ? "-" : menu.Item(i)->Text();
  EXPECT_EQ(order, "z-abcde");
  EXPECT_EQ(menu.Item(7), nullptr);
  EXPECT_EQ(menu.Item(-1), nullptr);
  menu.CheckItemAlone(3);
  EXPECT_TRUE(menu.Item(3)->IsChecked());
  menu.CheckItemAlone(4);
  EXPECT_FALSE(menu.Item(3)->IsChecked());
  EXPECT_EQ(menu.ChosenItem(), -1);
  EXPECT_EQ(menu.ChosenItemText(), "");
  EXPECT_FALSE(menu.Item(1)->IsChoosable());
  menu.Item(2)->SetFlags(IMenuEntry::kTitle);
  EXPECT_FALSE(menu.Item(2)->IsChoosable());
  EXPECT_TRUE(menu.Item(3)->IsChoosable());
}

TEST(EditorValueTypes, MenuCommandNumbersGoThroughTheItemsThenTheSubmenusDepthFirst) {
  // top: A, [sub1], -, B, [sub2]; sub1: a1, [deep], a2; deep: d1; sub2: b1
  IMenuModel top;
  top.AddItem("A");
  auto sub1 = std::make_unique<IMenuModel>();
  sub1->AddItem("a1");
  auto deep = std::make_unique<IMenuModel>();
  deep->AddItem("d1");
  IMenuModel* deepMenu = deep.get();
  sub1->AddSubmenu("deep", std::move(deep));
  sub1->AddItem("a2");
  IMenuModel* sub1Menu = sub1.get();
  top.AddSubmenu("sub1", std::move(sub1));
  top.AddSeparator();
  top.AddItem("B");
  auto sub2 = std::make_unique<IMenuModel>();
  sub2->AddItem("b1");
  IMenuModel* sub2Menu = sub2.get();
  top.AddSubmenu("sub2", std::move(sub2));

  // top 1..5, sub1 6..8, deep 9, sub2 10.
  EXPECT_EQ(top.CommandNumber(&top, 0), 1);
  EXPECT_EQ(top.CommandNumber(&top, 3), 4);
  EXPECT_EQ(top.CommandNumber(sub1Menu, 0), 6);
  EXPECT_EQ(top.CommandNumber(sub1Menu, 2), 8);
  EXPECT_EQ(top.CommandNumber(deepMenu, 0), 9);
  EXPECT_EQ(top.CommandNumber(sub2Menu, 0), 10);
  EXPECT_EQ(top.CommandNumber(sub2Menu, 1), -1);
  EXPECT_EQ(top.CommandNumber(sub2Menu, 0, 100), 109);
  IMenuModel* menu = nullptr;
  int index = -1;
  ASSERT_TRUE(top.ResolveCommand(9, &menu, &index));
  EXPECT_EQ(menu, deepMenu);
  EXPECT_EQ(index, 0);
  ASSERT_TRUE(top.ResolveCommand(8, &menu, &index));
  EXPECT_EQ(menu, sub1Menu);
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(top.ResolveCommand(11, &menu, &index));
  EXPECT_FALSE(top.ResolveCommand(0, &menu, &index));

  top.Item(3)->SetChecked(true);
  top.Item(0)->SetFlags(IMenuEntry::kDisabled);
  EXPECT_EQ(IScriptedResponder::Describe(top),
            "A [disabled]\nsub1 >\n  a1\n  deep >\n    d1\n  a2\n-\nB [checked]\nsub2 >\n  b1\n");
}
