// What the page shares with the window: its texts, and the adaptor's USB ids.
export const kAdaptorFilter = {vendorId: 0x054c, productId: 0x02ea};
export const kLoss = "The current loaded Memory Card Data will be lost, continue ?";
export const kNoCard = "No Memory Card Loaded or Read.";
export const kNoSelection = "No save selected.";
export const kPartial = "Only partial data was read from Memory Card !\n\nPlease desactivate the Fast Read option.";
export const kDeleteQuestion = "Do you want to delete the selected save ?";
export const kDifferences =
  "Do you want to write only the differences from the last read ?\n(Click 'No' to write the entire Memory Card.)";
export const kRagged = "Binary File is not multiple of 8k !\nDo you want to import it anyway ?";
export const kNoChange = "No change made in the Memory Card since the last read.";
export const kFrameMs = 500;  // an icon frame's time, as the window animates
