// Card properties into record fields and back (see CardFields.h).
#include <iterator>
#include <string>

#include "KeelAPIUtils.h"
#include "families/CardFields.h"
#include "ks/wipe.h"
#include "platform/TextCodec.h"

namespace dm::cards {

TextRead ReadObjectText(ObjectGetter get, uint32_t* object, int32_t property, WCHAR* field,
                        size_t width, int32_t capacity) {
  KeelAPIUtils store;
  return ReadStoreText(
      [&](int32_t cap, void* buffer, uint32_t* size) {
        return (store.*get)(object, property, cap, buffer, size);
      },
      field, width, capacity);
}

TextRead ReadIdentityText(int32_t property, WCHAR* field, size_t width, int32_t capacity) {
  KeelAPIUtils store;
  return ReadStoreText(
      [&](int32_t cap, void* buffer, uint32_t* size) {
        return store.GetIdentityProperty(property, cap, buffer, size);
      },
      field, width, capacity);
}

target::Target ReadTarget(ObjectGetter get, uint32_t* object, int32_t property,
                          WCHAR (&text)[target::kMaxTargetText + 1]) {
  text[0] = 0;  // a working buffer: its text is all that is read back
  ReadObjectText(get, object, property, text, std::size(text));
  return target::Classify(text::FieldText(text));
}

bool ObjectHasText(ObjectGetter get, uint32_t* object, int32_t property) {
  uint32_t size = 0;
  KeelAPIUtils store;
  return (store.*get)(object, property, 0, nullptr, &size) >= 0 && size > 0;
}

KA_STATUS WriteCardText(uint32_t* card, int32_t attribute, int32_t property, WStringView text) {
  std::string utf8 = platform::WideToUtf8(text);
  const KA_STATUS status = KeelAPIUtils().SetCardProperty(card, attribute, property, utf8.c_str(), -1);
  ks::Wipe(utf8.data(), utf8.size());  // the password's copy, when it is one
  return status;
}

KA_STATUS WriteCardByte(uint32_t* card, int32_t property, uint8_t value) {
  return KeelAPIUtils().SetCardProperty(card, KA_ATTR_PLAIN, property, &value, 1);
}

}  // namespace dm::cards
