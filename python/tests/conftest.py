import json
import pathlib

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
OPENDBC = ROOT / "tests" / "data" / "opendbc"
REAL_FILES = sorted(path.stem for path in OPENDBC.glob("*.dbc"))
EXAMPLE_DBC = ROOT / "examples" / "powertrain.dbc"
EXAMPLE_LOG = ROOT / "examples" / "powertrain.log"

# One message of each kind the options act on: multiplexed, a value table, signed with an offset, an
# extended big-endian message, an IEEE float in an extended message with the ID of a standard one.
SMALL_DBC = """VERSION "7"
BU_: ECU Tester
BO_ 1979 Diag: 8 ECU
 SG_ Service M : 0|8@1+ (1,0) [0|255] "" Tester
 SG_ Voltage m1 : 8|16@1+ (0.001,0) [0|65.535] "V" Tester
 SG_ Odometer m2 : 8|32@1+ (0.1,0) [0|429496729.5] "km" Tester
 SG_ Temp : 40|8@1- (1,-40) [-50|80] "degC" Tester
 SG_ Status : 56|2@1+ (1,0) [0|3] "" Tester
BO_ 2147484672 Ext: 4 ECU
 SG_ Level : 7|12@0+ (0.5,0) [0|0] "" Tester
BO_ 2147485627 DiagExt: 8 ECU
 SG_ Ratio : 0|32@1- (2,1) [0|0] "" Tester
CM_ BO_ 1979 "diagnostic answers";
BA_DEF_ BO_ "GenMsgCycleTime" INT 0 10000;
BA_ "GenMsgCycleTime" BO_ 1979 100;
SIG_VALTYPE_ 2147485627 Ratio : 1;
VAL_ 1979 Status 0 "OK" 1 "Busy" 2 "Error" ;
"""


@pytest.fixture(scope="session")
def small_db():
    import canxlate

    return canxlate.load_string(SMALL_DBC)


def frames_of(stem):
    return json.loads((OPENDBC / f"{stem}.frames.json").read_text())["frames"]
