"""An independent VISA implementation (pyvisa-py) talking to karvel-sim over TCP.

Exit status 77 (skipped) when pyvisa or pyvisa-py is not installed.
"""
import os
import re
import subprocess
import sys
import tempfile
import time

try:
    import pyvisa
except ImportError:
    print("pyvisa is not installed: cross-check skipped")
    sys.exit(77)

sim_path = sys.argv[1]
with tempfile.TemporaryDirectory() as folder:
    scenario = os.path.join(folder, "s.json")
    with open(scenario, "w") as f:
        f.write('{"mainframe": {"model": "7352A"}, "slots": [{"slot": 1, "product": "73561A", "kind": "FLS", "firmware": "V2.04(88)"}]}')
    out = open(os.path.join(folder, "out"), "w+")
    sim = subprocess.Popen([sim_path, "--scenario", scenario, "--tcp", "0"], stdout=out, stderr=subprocess.STDOUT)
    try:
        port = None
        for _ in range(500):
            out.seek(0)
            match = re.search(r"127\.0\.0\.1:(\d+)", out.read())
            if match:
                port = int(match.group(1))
                break
            time.sleep(0.01)
        assert port, "karvel-sim did not start"
        try:
            manager = pyvisa.ResourceManager("@py")
        except Exception as error:  # pyvisa without the pyvisa-py backend
            print("pyvisa-py backend missing (%s): cross-check skipped" % error)
            sys.exit(77)
        instrument = manager.open_resource("TCPIP::127.0.0.1::%d::SOCKET" % port,
                                           read_termination="\n", write_termination="\n", timeout=3000)
        idn = instrument.query("*IDN?")
        assert idn == "Tessaly Technologies,7352A,DE41000001,V4.12(310)", idn
        header = bytes(range(20))
        instrument.write_binary_values("Special:PRIVATE:cald:slot1:Flash:ChkC? ", list(header), datatype="B")
        verdict = instrument.read()
        assert verdict == "1,V2.04(88)", verdict
        assert instrument.query("SYST:ERR?") == '0,"No error"'
        instrument.close()
        manager.close()
        print("pyvisa-py cross-check passed: %s" % idn)
    finally:
        sim.terminate()
        sim.wait(timeout=10)
