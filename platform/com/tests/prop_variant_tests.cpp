// PROPVARIANT: clearing frees what the value owns and empties it; copies own their data.
#include <gtest/gtest.h>
#include <propidl.h>
#include <windows.h>

TEST(PropVariant, ClearAndCopyOwnedValues) {
  PROPVARIANT text;
  PropVariantInit(&text);
  text.vt = VT_LPWSTR;
  const char16_t name[] = u"Speakers (Velno-HD)";
  text.pwszVal = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof name));
  memcpy(text.pwszVal, name, sizeof name);

  PROPVARIANT copy;
  ASSERT_EQ(S_OK, PropVariantCopy(&copy, &text));
  EXPECT_NE(text.pwszVal, copy.pwszVal);
  EXPECT_EQ(std::u16string(name), std::u16string(copy.pwszVal));
  EXPECT_EQ(S_OK, PropVariantClear(&text));
  EXPECT_EQ(VT_EMPTY, text.vt);
  EXPECT_EQ(nullptr, text.pwszVal);
  EXPECT_EQ(std::u16string(name), std::u16string(copy.pwszVal)) << "the copy is its own";
  EXPECT_EQ(S_OK, PropVariantClear(&copy));

  // A blob whose data the caller owns: detached before the clear, as a writer of a device
  // format does, so the clear frees nothing of the caller's.
  BYTE format[40] = {1, 2, 3};
  PROPVARIANT blob;
  PropVariantInit(&blob);
  blob.vt = VT_BLOB;
  blob.blob.cbSize = sizeof format;
  blob.blob.pBlobData = format;
  PROPVARIANT owned;
  ASSERT_EQ(S_OK, PropVariantCopy(&owned, &blob));
  EXPECT_EQ(0, memcmp(owned.blob.pBlobData, format, sizeof format));
  blob.blob.pBlobData = nullptr;
  EXPECT_EQ(S_OK, PropVariantClear(&blob));
  EXPECT_EQ(S_OK, PropVariantClear(&owned));

  PROPVARIANT number;
  PropVariantInit(&number);
  number.vt = VT_UI4;
  number.ulVal = 3;
  EXPECT_EQ(S_OK, PropVariantClear(&number));
  EXPECT_EQ(VT_EMPTY, number.vt);

  PROPVARIANT odd;
  PropVariantInit(&odd);
  odd.vt = 0x7FFF;
  odd.ulVal = 9;
  EXPECT_EQ(DISP_E_BADVARTYPE, PropVariantClear(&odd));
  EXPECT_EQ(0x7FFF, odd.vt) << "an unknown type is left alone";
}
