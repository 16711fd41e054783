#!/usr/bin/python3
# Configures Morvik units through morvik-cli on the managed host. Units answer only on their
# own network, so the task runs on a host of each network (delegate_to, or one inventory host
# per network) and morvik-cli talks to them from there.

from __future__ import annotations

import json
import subprocess

from ansible.module_utils.basic import AnsibleModule

DOCUMENTATION = r"""
---
module: morvik_units
short_description: Configure Morvik serial-to-Ethernet units with morvik-cli
description:
  - Writes parameter values, or the values of a configuration file, to units found by a probe
    from the managed host, through C(morvik-cli --json).
  - Idempotent; a unit is written only when one of its values differs (C(morvik-cli diff), or
    C(set --dry-run) for I(values)), and only the units that differ are written. Values are
    compared as values, so C(1500) equals C(1500  bytes) and C(192.168.010.021) equals
    C(192.168.10.21).
  - With I(config_file), units of another product or version than the file's are left alone
    and listed with the result C(other product); they do not fail the task.
  - Check mode compares and reports, and writes nothing. Diff mode shows each differing value
    before and after.
  - Logins travel to morvik-cli on its standard input, never on its command line; the values of
    the login ID and password parameters (2.x.1, 2.x.2) are shown as C(********).
options:
  units:
    description: MACs, IPs or device names of the units, or C(all).
    type: list
    elements: str
    required: true
  values:
    description: Parameter values by address, as C(morvik-cli read) shows them (unit included).
    type: dict
  config_file:
    description: A configuration file on the managed host whose read/write values the units
      are to hold, compared as C(morvik-cli load) does.
    type: path
  skip:
    description: Addresses of I(config_file) left as each unit holds them (its IP, its name).
    type: list
    elements: str
    default: []
  reboot:
    description: Reboot the units that were written, so that the values take effect.
    type: bool
    default: false
  backup_dir:
    description: Each unit about to be written is saved there first; loading that file is the
      rollback.
    type: path
  login_id:
    description: Login ID for units that pwd.ini of I(data_dir) does not know.
    type: str
  password:
    description: Password that goes with I(login_id).
    type: str
  data_dir:
    description: The data directory (prodid.ini, pwd.ini, descriptions) on the managed host.
    type: path
  port:
    description: The units' UDP port.
    type: int
  broadcast:
    description: Where probes go.
    type: str
  host_address:
    description: The managed host's address for the local-subnet test.
    type: str
  wait:
    description: Probe window in milliseconds.
    type: int
  timeout:
    description: Milliseconds to wait for each awaited reply.
    type: int
  cli:
    description: The morvik-cli program.
    type: path
    default: morvik-cli
"""

EXAMPLES = r"""
- name: Every unit of this network holds the site's port settings, keeping its own identity
  morvik_units:
    units: [all]
    config_file: /etc/morvik/site.cnf
    skip: ["0.1.1", "1.1.1"]
    backup_dir: /var/backups/morvik
    data_dir: /etc/morvik
    reboot: true

- name: One value on two units
  morvik_units:
    units: ["vela1-dock", "02:4D:56:00:00:02"]
    values:
      "3.1.1": "19200 bps"
    data_dir: /etc/morvik
"""

RETURN = r"""
units:
  description: For each unit, its MAC, IP, the result of the comparison (C(ok), or C(other
    product) for a unit of another product or version than I(config_file), left alone) and
    the differences found.
  type: list
  returned: always
written:
  description: The results of the writes, one per unit written, as morvik-cli gave them.
  type: list
  returned: when a unit was written
"""


MASK = "********"


def is_login_address(address):
    """The units' login ID and password: 2.<n>.1 and 2.<n>.2."""
    return address.startswith("2.") and (address.endswith(".1") or address.endswith(".2"))


def masked(units):
    """The units' differences with the values of login rows hidden."""
    shown = []
    for unit in units:
        changes = []
        for change in unit.get("differences", []):
            if is_login_address(change["address"]):
                # Told apart, so that a diff still shows that the value changes.
                after = MASK if change["unit"] == change["file"] else MASK + " (new)"
                change = dict(change, unit=MASK, file=after)
            changes.append(change)
        shown.append(dict(unit, differences=changes))
    return shown


def common_arguments(params):
    arguments = ["--json"]
    for option, name in (("data_dir", "--data-dir"), ("port", "--port"),
                         ("broadcast", "--broadcast"), ("host_address", "--host-address"),
                         ("wait", "--wait"), ("timeout", "--timeout")):
        if params[option] is not None:
            arguments += [name, str(params[option])]
    return arguments


def login_text(params, with_new_login):
    """What --login-file - reads: the login, and for set the new one of the values."""
    lines = []
    if params["login_id"] is not None:
        lines += ["id=" + params["login_id"], "password=" + params["password"]]
    if with_new_login:
        lines += ["%s=%s" % (address, text) for address, text in (params["values"] or {}).items()
                  if is_login_address(address)]
    return "".join(line + "\n" for line in lines) if lines else None


def value_words(values):
    """ADDRESS=TEXT words of the values that are no login: those go to standard input."""
    return ["%s=%s" % (address, text) for address, text in values
            if not is_login_address(address)]


def tool_message(completed):
    lines = [line for line in completed.stderr.splitlines() if line.strip()]
    return "; ".join(lines) if lines else "morvik-cli ended with status %d" % completed.returncode


def run_tool(module, command_arguments, with_new_login=False):
    """command_arguments: the command, its options, then "--" and the unit words."""
    login = login_text(module.params, with_new_login)
    options = ["--login-file", "-"] if login is not None else []
    command = ([module.params["cli"]] + common_arguments(module.params) + options +
               command_arguments)
    try:
        completed = subprocess.run(command, input=login or "", capture_output=True, text=True,
                                   check=False)
    except OSError as error:
        module.fail_json(msg="cannot run %s: %s" % (module.params["cli"], error))
    try:
        document = json.loads(completed.stdout)
    except ValueError:
        module.fail_json(msg=tool_message(completed), rc=completed.returncode)
    if isinstance(document, dict) and "error" in document:
        module.fail_json(msg=document["error"], rc=completed.returncode)
    return completed, document


def differences(module):
    """Each unit with the values that differ from what it is to hold."""
    params = module.params
    if params["config_file"]:
        arguments = ["diff"]
        if params["skip"]:
            arguments += ["--skip", ",".join(params["skip"])]
        arguments += ["--"] + params["units"] + [params["config_file"]]
    else:
        arguments = (["set", "--dry-run", "--"] + params["units"] +
                     value_words(params["values"].items()))
    completed, document = run_tool(module, arguments, with_new_login=True)
    # A unit that the configuration file is not for is listed, left alone, and no failure.
    failed = [unit for unit in document if unit.get("result") not in ("ok", "other product")]
    if failed:
        module.fail_json(msg=tool_message(completed), rc=completed.returncode,
                         units=masked(document))
    # The tool lists only the values that differ as values ("1500" and "1500  bytes" do not).
    return [{"mac": unit["mac"], "ip": unit["ip"], "result": unit["result"],
             "differences": unit["differences"]} for unit in document]


def diff_view(units):
    before, after = [], []
    for unit in units:
        for change in unit["differences"]:
            where = "%s %s (%s)" % (unit["mac"], change["address"], change["parameter"])
            before.append("%s: %s\n" % (where, change["unit"]))
            after.append("%s: %s\n" % (where, change["file"]))
    return {"before": "".join(before), "after": "".join(after)}


def write(module, units):
    params = module.params
    written = []
    # Units that differ in the same values share one run.
    plans = {}
    for unit in units:
        if params["config_file"]:
            key = ()
        else:
            key = tuple(sorted((change["address"], change["file"])
                               for change in unit["differences"]))
        plans.setdefault(key, []).append(unit["mac"])
    for key, macs in plans.items():
        arguments = ["load" if params["config_file"] else "set", "--yes"]
        if params["config_file"] and params["skip"]:
            arguments += ["--skip", ",".join(params["skip"])]
        if params["reboot"]:
            arguments.append("--reboot")
        if params["backup_dir"]:
            arguments += ["--backup", params["backup_dir"]]
        arguments += ["--"] + macs
        if params["config_file"]:
            arguments.append(params["config_file"])
        else:
            arguments += value_words(key)
        # A login among the values reaches the units that differ in it, from standard input.
        changes_login = any(is_login_address(address) for address, _ in key)
        completed, document = run_tool(module, arguments, with_new_login=changes_login)
        written += document
        refused = [unit for unit in document if unit.get("result") != "ok" or
                   unit.get("reboot", "ok") != "ok"]
        if refused or completed.returncode != 0:
            module.fail_json(msg=tool_message(completed), rc=completed.returncode,
                             changed=any(unit.get("result") == "ok" for unit in written),
                             units=written)
    return written


def main():
    module = AnsibleModule(
        argument_spec=dict(
            units=dict(type="list", elements="str", required=True),
            values=dict(type="dict"),
            config_file=dict(type="path"),
            skip=dict(type="list", elements="str", default=[]),
            reboot=dict(type="bool", default=False),
            backup_dir=dict(type="path"),
            login_id=dict(type="str"),
            password=dict(type="str", no_log=True),
            data_dir=dict(type="path"),
            port=dict(type="int"),
            broadcast=dict(type="str"),
            host_address=dict(type="str"),
            wait=dict(type="int"),
            timeout=dict(type="int"),
            cli=dict(type="path", default="morvik-cli"),
        ),
        required_one_of=[("values", "config_file")],
        mutually_exclusive=[("values", "config_file")],
        required_together=[("login_id", "password")],
        supports_check_mode=True,
    )
    if module.params["skip"] and not module.params["config_file"]:
        module.fail_json(msg="skip goes with config_file")
    if module.params["values"] is not None:
        module.params["values"] = {str(address): str(text)
                                   for address, text in module.params["values"].items()}
        if not module.params["values"]:
            module.fail_json(msg="values names no parameter")

    units = differences(module)
    differing = [unit for unit in units if unit["differences"]]
    result = {"changed": bool(differing), "units": masked(units)}
    if module._diff:
        result["diff"] = diff_view(masked(differing))
    if differing and not module.check_mode:
        result["written"] = write(module, differing)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
