#include "files/card_file_check.h"

std::vector<CardFault> check_card_file(const CardImage& card, const CardFileInfo& file) {
  std::vector<CardFault> faults;
  if (file.signature_wrong)
    faults.push_back(CardFault{
        "bad-signature", {},
        "The file's signature is wrong: a PSP or PS Vita shows this card as empty (a Vita may not "
        "start the game). Written again as a VMP file, it is signed anew."});
  const std::vector<CardFault> card_faults = check_card(card);
  faults.insert(faults.end(), card_faults.begin(), card_faults.end());
  return faults;
}
