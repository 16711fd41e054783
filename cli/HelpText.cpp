#include "cli/HelpText.h"

namespace morvik::cli {

std::string_view helpText() {
    return R"(NAME
    morvik-cli - find, read, configure and reboot Quorvane device servers

SYNOPSIS
    morvik-cli [OPTIONS] probe
    morvik-cli [OPTIONS] read   UNIT... [--group NAME]
    morvik-cli [OPTIONS] set    UNIT... ADDRESS=TEXT...
    morvik-cli [OPTIONS] load   UNIT... FILE.cnf [--skip ADDRESS,...]
    morvik-cli [OPTIONS] diff   UNIT... FILE.cnf [--skip ADDRESS,...]
    morvik-cli [OPTIONS] save   UNIT FILE.cnf
    morvik-cli [OPTIONS] reboot UNIT...
    morvik-cli [OPTIONS] interfaces

DESCRIPTION
    morvik-cli talks to the serial-to-Ethernet units of the Quorvane line over UDP, exactly as
    the Morvik desktop program does: the same requests, the same data files, the same
    messages. Every command but probe first probes the network and matches each UNIT against
    the units that answered. A probe request or its reply may be lost, so five requests are
    spread over the window. Probing stops early once every unit named by MAC has answered;
    a name or an IP waits for the whole window, since two units may carry it, and a word that
    names several units is refused. A named unit that did not answer is reported with the
    result "no answer" (its MAC, IP or name as given) beside the units that did, which are
    acted on all the same; the exit status is then 1. A MAC that answers from two addresses
    is listed once, with its first reply, and a warning on standard error names both.

    UNIT is a MAC address (six hex pairs joined by ":" or "-", either case), an IPv4 address,
    or a device name, tried in that order. "all" (standing alone) names every unit that
    answered within the probe window, in order of arrival. Units act in the order of the
    command line; a unit named twice acts once.

    Parameters come from the description file of the units' product and version, found
    through prodid.ini in the data directory. The units' login IDs and passwords come from
    pwd.ini there, which records the ones that worked.

COMMANDS
    probe
        Broadcast a probe and list every unit that answers within --wait milliseconds: name,
        IP, MAC, product id, version and address mode. A reply with a bad checksum is
        reported ("Error: Checksum Error!" with the unit's MAC, name and IP) and listed all
        the same. Commands that probe first report it only for the units they act on. The
        probe (like every request to a unit addressed by broadcast) goes to 255.255.255.255 on
        every network this host is on: once out of each up IPv4 interface that can broadcast,
        loopback aside. When no unit answers, the networks probed and what a host firewall
        must let in are printed on standard error, and the exit status is 4.

    read UNIT... [--group NAME]
        Read every parameter of the units, or only those of the class group NAME (as the
        class filter of the desktop program lists it, for example "Network" or "Port 2";
        case is ignored when no group matches exactly). Units of different products are read
        one product after the other. A unit's read is complete when every requested
        parameter has its value; hidden parameters are read but never shown.

    set UNIT... ADDRESS=TEXT...
        Write values: ADDRESS is a parameter address as read lists it (for example 1.3.1), TEXT
        the value as read shows it, unit included where the parameter has one (for example
        "1500  bytes", "9600 bps", "On"). Only the named parameters are sent, to every unit.
        Addresses and values are checked before anything is sent: a number the parameter's
        type cannot hold, an IP address that is not four numbers of 0 to 255, a MAC that is
        not six hex pairs, or a text that is neither a name nor a number of the parameter is
        refused (exit 2).
        Only values that the desktop program lets a user change can be set (R/W, not R/O or
        HIDDEN).
        Asks "Set Confirm" (--yes). A write larger than one request takes several; each is
        confirmed. A write of the login ID (2.x.1) or password (2.x.2) goes to one unit at a
        time and is read back, so that pwd.ini follows the change. The new login may come
        from the login file instead of the command line (new-id=, new-password=; see
        --login-file), so that it never shows in the process list.

    load UNIT... FILE.cnf
        Read the units, compare the read/write values of the configuration file with each
        unit's own values, and write to each unit the ones that differ, as set does. Nothing
        is written to a unit that differs in none. Values are compared as values: texts that
        give the same bytes are equal ("1500" and "1500  bytes", "192.168.010.021" and
        "192.168.10.21", "02-1a-..." and "02:1A:..."); a text that is no value of its row
        equals only itself. An empty value (<none>) is a value too. The file is for units of
        the product id and version it was saved for: the others are left alone with the
        result "other product", which fails nothing among the units of "all" (a network of
        several products) and fails the run for a unit named on the command line. A value
        of the file that its parameter cannot take stops the load before anything is
        written (exit 2). The file must be a regular file (not a FIFO or a device) that
        begins with the header a save writes.
        --skip ADDRESS,... leaves those rows as each unit holds them, so that a configuration
        cloned onto another unit need not copy its identity (IP address, name).

    diff UNIT... FILE.cnf
        Read the units and list, for each, the writable rows whose value differs from the
        file, by the rules of load (--skip too): the unit's text and the file's. Writes
        nothing. Exit status 0 when no unit differs, 1 when one does (or failed to answer).

    set and load take --dry-run: everything up to the write (probe, read, compare), then
    the values that would change on each unit, as diff lists them (a set value that the
    unit holds already, in any spelling, is not listed); nothing is sent but the read;
    pwd.ini is not written either. With --backup DIR each unit about to be written is
    saved first to DIR/MAC-YYYYMMDDTHHMMSSZ.cnf (its MAC with "-"): load that file to the
    unit to undo the change. A backup is always a new file, readable by its owner only:
    when the name is taken (a backup of the same second, or anything else, a link
    included) it becomes MAC-YYYYMMDDTHHMMSSZ-2.cnf, -3, and so on. If a backup cannot be
    written, nothing is written to any unit, and the message says why (for example "No
    space left on device").

    save UNIT FILE.cnf
        Read the unit and save its values as a configuration file: a header line, one line
        "[n] VALUE" per parameter and the line "<escaped>". In VALUE a blank is "_", an empty
        value "<none>", and "%", "_" and control characters are "%" and two hex digits
        ("gate_house 3" is gate%5Fhouse_3), so every value loads back byte for byte. Files
        without the "<escaped>" line (of older tools) load as before: "_" is a blank. An
        existing FILE is replaced only when it is a regular file of this user, never through
        a link; the new content goes to a temporary file beside it first, so a failed save
        leaves the old file whole.

    reboot UNIT...
        Ask the units to reboot. Asks "Reboot Confirm" (--yes).

    interfaces
        Send nothing; list the networks a probe goes out on with their broadcast addresses,
        and the host address and subnets of the local-subnet test (a unit on none of them is
        refused "Can't send to ..." unless it is addressed by broadcast): what to check
        first when nothing answers.

OPTIONS
    --data-dir DIR       The data directory: prodid.ini, pwd.ini and the description files.
                         Default: the current directory.
    --port N             The units' UDP port (default 2002, or MORVIK_DEVICE_PORT).
    --broadcast ADDR     Where probes and broadcast requests go (default 255.255.255.255 on
                         every network, or MORVIK_BROADCAST_ADDRESS). Any other address gets
                         one datagram, routed as the system routes it.
    --host-address ADDR  This host's primary address for the local-subnet test (default:
                         the host name resolved, or MORVIK_HOST_ADDRESS). Where the name
                         resolves to loopback (127.0.1.1 on Debian and Ubuntu) or to no
                         interface, a unit is local on the subnet of any up interface.
    --wait MS            The probe window in milliseconds (default 2000).
    --timeout MS         How long to wait for each awaited reply (default 3000), counted
                         afresh only when a unit that is not done yet makes progress: a new
                         value, an acknowledgement, a refusal, a request for the next part.
                         Junk, repeated and stale replies never extend it, and no single wait
                         lasts longer than (units + 1) x MS besides the pauses below. A
                         unit that stays silent is reported. A whole run therefore ends within
                             --wait + 6 x (units + 1) x --timeout
                         (units: those named, or that answered for "all"), plus the pauses
                         between the units of a read (see --pace; at most the share of
                         --timeout below per unit, or --pace per unit), plus at most 5 s for
                         each save of pwd.ini that has to wait for another program's lock.
                         --verbose prints this bound for the run as bound_ms.
    --pace MS            A fixed pause after asking each unit of a read, as the desktop
                         program's 100 ms (--pace 100). By default the tool keeps a window of
                         units asked and not yet heard from, as many as the socket's receive
                         buffer holds the replies of, and asks the next unit as soon as one
                         answers: the same requests, the same results, much sooner.
    --retries N          Send a read or a write again, with the same bytes, when it has no
                         complete answer within its share of --timeout (MS / (N + 1));
                         default 4, at most 10. A reboot and a write that changes the login
                         ID or password are never sent twice (the unit may already have
                         taken them): that is said on standard error.
    --id ID --password PW
                         Answer the password prompt: used for units that pwd.ini does not
                         know, and, in a read, once more for a unit that refuses the login
                         of pwd.ini (which then records these). Without them a prompt
                         is an error (exit status 3), unless standard input is a terminal:
                         then the prompt asks, without echoing the password. Every local
                         user can read a command line (ps): prefer --login-file.
    --login-file FILE    Read the login from FILE ("-": standard input, or a pipe such as
                         /dev/fd/3) instead of --id and --password: lines "id=ID" and
                         "password=PW" (each TEXT to the end of its line, blanks kept), and
                         for set "new-id=ID" and "new-password=PW", the new login to write
                         to the units' login ID (2.x.1) and password (2.x.2), or the same
                         as "2.x.1=ID" and "2.x.2=PW" lines, like ADDRESS=TEXT. A regular
                         file must belong to this user and be closed to others (chmod 600),
                         or it is refused unread.
    --json               Print one JSON document on standard output (see below).
    --yes                Answer "Set Confirm" and the "Reboot Confirm" of a reboot. Without it
                         the question is asked at a terminal and refused otherwise.
    --reboot             After set or load, accept the offer to reboot the units that took the
                         write (that reboot asks its own confirmation). Otherwise declined.
    --dry-run            set, load: compare and show, write nothing.
    --backup DIR         set, load: save each unit's values to DIR before writing.
    --skip ADDRESS,...   load, diff: rows left as the units hold them.
    --verbose            Print what the run cost on standard error: wall time, time in the
                         probe window, in the pauses between the units of a read, waiting for
                         replies and working, the time from the first to the last probe
                         reply handled, and the datagrams sent and received.
    -h, --help           Print this page.
    --version            Print the version.

    Options may stand before or after the command; "--" ends them.

OUTPUT
    Results go to standard output, every message to standard error: a message of the desktop
    program as one line "Caption: text" (for example "Error: Invalid product id!!", and after a
    reboot "Done: Shut down completed!. Now rebooting...", left out with --json), the tool's own
    lines as "morvik-cli: text".

    With --json:
      probe:            [{"name","ip","mac","productId","version","addressMode",
                          "checksumOk"}]  (texts as the device list holds them)
      read:             [{"mac","ip","result","parameters":[{"index","address","class",
                          "parameter","access","value"}]}]  one object per unit, every
                          parameter of the description or group; "value" is that unit's
                          text, "" when none arrived and for hidden parameters; result
                          "ok", "error", "no answer", "checksum error" or "credentials
                          needed" (refused, or not in pwd.ini, with no --id/--password)
      diff, and set or load with --dry-run:
                        [{"mac","ip","result","differences":[{"index","address",
                          "parameter","unit","file"}]}]  "unit" the unit's text, "file" the
                          one that would be written; result as for read, or "other
                          product" for a unit the file is not for
      set, load, save, reboot:
                        [{"mac","ip","result"}]  result "ok", "error" (the unit refused, or
                          nothing could be sent to it), "no answer", "checksum error" (its
                          reply failed the checksum and no valid one followed) or "other
                          product" (load: left alone, the file is for another); with --reboot
                          also "reboot" for each unit that took the write
      a run that fails before its operation (an ambiguous unit, no named unit answering,
      an unknown class group, a bad value, bad options):
                        {"error"}  the reasons, as given on standard error
      interfaces:       {"probe":[{"destination","port","interface","address",
                          "broadcast"}],"hostAddress","hostAddressFrom","hostName",
                          "localSubnets":[{"interface","address"}]}

ENVIRONMENT
    MORVIK_DEVICE_PORT, MORVIK_BROADCAST_ADDRESS, MORVIK_HOST_ADDRESS
        Defaults for --port, --broadcast and --host-address.

FILES
    DIR/prodid.ini       product ids and names
    DIR/pwd.ini          the login ID and password that last worked for each unit (rewritten
                         when a unit accepts new ones or its login is changed, under a lock
                         that other programs using the file take in turn; text in it that is
                         no record is skipped, with a warning when the file is rewritten). A
                         link is followed only to a credential log of this user. The logins
                         of one operation are recorded in one rewrite; diff and --dry-run
                         never write the file.
    DIR/NAME_VERSION.dcf the description of a product's firmware version

EXIT STATUS
    0   success
    1   a unit refused, did not answer (or not completely), did not answer the probe, sent
        a reply that failed its checksum, the operation was refused (for example units of
        different products in set or load, or a description without parameters), or a login
        a unit accepted could not be recorded in pwd.ini (full, locked, not writable, a
        link to another file: the message says which)
    2   usage: bad options, an unknown parameter address or class group, a value the
        parameter cannot take, a parameter that cannot be set, a missing --yes without a
        terminal
    3   credentials needed: a password prompt that nothing could answer (a unit that pwd.ini
        does not know, or one that refused the login of pwd.ini, without --id/--password).
        A read of several units reads those pwd.ini knows and reports the others.
    4   no unit answered at all: the probe, or every request of a read, set, load, save or
        reboot, went unanswered. Standard error says which networks were probed and what a
        host firewall must let in (UDP from port 2002 of the units), with a rule for ufw,
        firewalld and nftables.

EXAMPLES
    morvik-cli probe --json
    morvik-cli read vela1-dock --group Network
    morvik-cli read 02:4d:56:00:00:01 127.0.0.22 --json
    morvik-cli set vela1-dock 1.1.1=192.168.10.30 "3.1.1=19200 bps" --yes --reboot
    morvik-cli save orion16-rack rack.cnf
    morvik-cli diff all rack.cnf --skip 0.1.1,1.1.1
    morvik-cli load all rack.cnf --skip 0.1.1,1.1.1 --dry-run
    morvik-cli load all rack.cnf --skip 0.1.1,1.1.1 --backup backups --yes
    morvik-cli reboot vela1-dock vela1-lab --yes
    printf 'id=admin\npassword=%s\n' "$pw" | morvik-cli read orion16-new --login-file -
    morvik-cli interfaces
    MORVIK_BROADCAST_ADDRESS=127.255.255.255 MORVIK_HOST_ADDRESS=127.0.0.1 morvik-cli probe
)";
}

std::string_view versionText() {
    return "morvik-cli 1.0.0\n";
}

} // namespace morvik::cli
