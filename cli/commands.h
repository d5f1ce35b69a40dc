// The verbs of quillcrest-cli. Each returns the exit status: 0 done, 1 the
// work failed (the reason on stderr), 2 the command line was wrong.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "adaptor/card_sync.h"
#include "card/analysis.h"
#include "card/card_image.h"
#include "card/failure.h"
#include "cli/arguments.h"
#include "cli/listing.h"
#include "files/card_formats.h"

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsageError = 2;

// Prints the failure on stderr as "quillcrest-cli: PATH: text", the text
// as the window shows it, the path of the file it concerns in front (none
// for the adaptor); kFailed.
int report_failure(const Failure& failure, const std::string& path = "");
// Prints what is wrong with the command line and the usage on stderr; kUsageError.
int usage_error(const std::string& what);

// "list": the slots as lines, or as JSON with --json, on stdout; a card
// file adds its format and comments to the JSON.
int print_listing(const Arguments& arguments, const CardImage& card, const SlotTable& slots,
                  const ListedFile* file = nullptr);

int list_card_file(const Arguments& arguments);
int export_save_command(const Arguments& arguments);
int import_save_command(const Arguments& arguments);
int delete_save_command(const Arguments& arguments);
int format_command(const Arguments& arguments);
int convert_command(const Arguments& arguments);
int copy_save_command(const Arguments& arguments);
int icon_command(const Arguments& arguments);

int list_adaptor_card(const Arguments& arguments);
int read_command(const Arguments& arguments);
int write_command(const Arguments& arguments);

// The reader --reader or QUILLCREST_READER names becomes the one the jobs
// use; kDone, or kUsageError (told) when it names none.
int choose_reader(const Arguments& arguments);
// "readers": the serial ports, and with --probe which reader answers on each.
int readers_command(const Arguments& arguments);

// The card in the chosen reader, whole or fast (directory and save heads), with a
// progress bar; the adaptor's own answers in words.
Failure read_from_adaptor(bool fast, CardImage& card);

// Makes the card in the chosen reader equal `card` (as "write" does: only
// what differs, the directory last, read back), what it held kept with the
// backups first unless `backup` is false; `path` names the card in the
// messages, which go to `messages` (stderr when stdout carries JSON).
int write_to_reader(const CardImage& card, const std::string& path, const SyncOrders& orders, bool backup,
                    std::FILE* messages = stdout);

int rename_command(const Arguments& arguments);
int comment_command(const Arguments& arguments);

int split_command(const Arguments& arguments);
int gather_command(const Arguments& arguments);
// "list FOLDER": every card under it, with --find the saves that match.
int list_library(const Arguments& arguments);

int backups_command(const Arguments& arguments);
int list_deleted_command(const Arguments& arguments);
int undelete_command(const Arguments& arguments);
int check_command(const Arguments& arguments);
