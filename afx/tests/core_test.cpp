// The framework's strings, pointer arrays and run-time class names.
#include <gtest/gtest.h>

#include <afxcmn.h>
#include <afxtempl.h>

namespace {

// Runs call and reports whether it threw the framework's invalid-argument exception.
template <class F>
bool ThrowsInvalidArg(F call) {
  try {
    call();
  } catch (CInvalidArgException* e) {
    e->Delete();
    return true;
  }
  return false;
}

TEST(CStringTest, ValueSemanticsAndEditing) {
  CString a("Velno");
  CString b = a;
  b += "-HD";
  EXPECT_STREQ(a, "Velno");
  EXPECT_STREQ(b, "Velno-HD");
  EXPECT_EQ(b.GetLength(), 8);
  b += b;  // appending itself
  EXPECT_STREQ(b, "Velno-HDVelno-HD");
  b = b.Mid(5, 3);
  EXPECT_STREQ(b, "-HD");
  EXPECT_STREQ(CString("abc").Left(10), "abc");
  EXPECT_STREQ(CString("abc").Right(2), "bc");
  EXPECT_STREQ(CString("abc").Mid(5), "");

  CString s;
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_STREQ(s, "");
  s.Format("%d.%d.%d.%d", 192, 168, 0, 10);
  EXPECT_STREQ(s, "192.168.0.10");
  s.AppendFormat(":%u", 5566u);
  EXPECT_STREQ(s, "192.168.0.10:5566");
  EXPECT_EQ(s.Find(':'), 12);
  EXPECT_EQ(s.Find("168"), 4);
  EXPECT_EQ(s.ReverseFind('.'), 9);
  EXPECT_EQ(s.Replace(".", ""), 3);
  EXPECT_STREQ(s, "192168010:5566");

  CString t("  Mixed Case  ");
  t.Trim();
  EXPECT_STREQ(t, "Mixed Case");
  EXPECT_EQ(t.CompareNoCase("MIXED case"), 0);
  EXPECT_NE(t.Compare("MIXED case"), 0);
  EXPECT_TRUE(t == "Mixed Case");
  EXPECT_STREQ(t.MakeUpper(), "MIXED CASE");

  char* p = t.GetBuffer(32);
  strcpy(p, "written through the buffer");
  t.ReleaseBuffer();
  EXPECT_EQ(t.GetLength(), 26);
  EXPECT_STREQ(CString('*', 3) + "x" + CString("y"), "***xy");
  EXPECT_TRUE(ThrowsInvalidArg([&] { (void)t.GetAt(26); }));
}

TEST(PtrArrayTest, GrowsInsertsRemovesAndChecksIndices) {
  int v[5] = {0, 1, 2, 3, 4};
  CPtrArray a;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(a.Add(&v[i]), i);
  a.InsertAt(1, &v[4]);
  ASSERT_EQ(a.GetSize(), 4);
  EXPECT_EQ(a[0], &v[0]);
  EXPECT_EQ(a[1], &v[4]);
  EXPECT_EQ(a[2], &v[1]);
  a.RemoveAt(0, 2);
  ASSERT_EQ(a.GetSize(), 2);
  EXPECT_EQ(a.GetAt(0), &v[1]);
  a.SetAtGrow(5, &v[3]);
  EXPECT_EQ(a.GetSize(), 6);
  EXPECT_EQ(a[4], nullptr);
  for (int i = 0; i < 1000; ++i) a.Add(&v[i % 5]);
  EXPECT_EQ(a.GetSize(), 1006);
  EXPECT_EQ(a[1005], &v[4]);

  for (INT_PTR bad : {(INT_PTR)-1, a.GetSize(), a.GetSize() + 100}) {
    EXPECT_TRUE(ThrowsInvalidArg([&] { (void)a.GetAt(bad); })) << bad;
    EXPECT_TRUE(ThrowsInvalidArg([&] { a.SetAt(bad, nullptr); })) << bad;
  }
  EXPECT_TRUE(ThrowsInvalidArg([&] { a.RemoveAt(1000, 7); }));
  a.RemoveAll();
  EXPECT_TRUE(a.IsEmpty());
  EXPECT_TRUE(ThrowsInvalidArg([&] { (void)a[0]; }));
}

TEST(PtrArrayTest, TypedArrayKeepsTheType) {
  CString one("one"), two("two");
  CTypedPtrArray<CPtrArray, CString*> names;
  names.Add(&one);
  names.Add(&two);
  CString* p = names[1];
  EXPECT_STREQ(*p, "two");
  names[0] = &two;
  EXPECT_EQ(names.GetAt(0), &two);
  EXPECT_TRUE(ThrowsInvalidArg([&] { (void)names.GetAt(2); }));
}

class CPanelDialog : public CDialog {
  DECLARE_DYNAMIC(CPanelDialog)
};
IMPLEMENT_DYNAMIC(CPanelDialog, CDialog)

TEST(RuntimeClassTest, NamesAndKinds) {
  CPanelDialog dlg;
  CWnd& asWnd = dlg;
  EXPECT_STREQ(asWnd.GetRuntimeClass()->m_lpszClassName, "CPanelDialog");
  EXPECT_TRUE(asWnd.IsKindOf(RUNTIME_CLASS(CDialog)));
  EXPECT_TRUE(asWnd.IsKindOf(RUNTIME_CLASS(CWnd)));
  EXPECT_TRUE(asWnd.IsKindOf(RUNTIME_CLASS(CObject)));
  EXPECT_FALSE(asWnd.IsKindOf(RUNTIME_CLASS(CButton)));
  CSliderCtrl slider;
  EXPECT_STREQ(slider.GetRuntimeClass()->m_lpszClassName, "CSliderCtrl");
  CBitmap bitmap;
  EXPECT_STREQ(bitmap.GetRuntimeClass()->m_lpszClassName, "CBitmap");
  EXPECT_TRUE(bitmap.IsKindOf(RUNTIME_CLASS(CGdiObject)));
}

}  // namespace
