"""The README's pictures, taken from the running VantrixCtrlPnl: its window
on an Xvfb screen, page by page, against vantrix-sim.

    /usr/bin/python3 tests/desktop/screenshots.py OUTDIR VantrixCtrlPnl vantrix-sim vantrixctl
"""
import os
import subprocess
import sys
import time

import desktop as d
from scenarios import Ui

SHOTS = [("Stav", "GSM", "state-gsm.png"), ("Konfigurace", "SIM karta 1", "config-sim.png"),
         ("Konfigurace", "Povolené směry", "config-directions.png"), ("Nástroje", "Nová SMS", "sms-new.png"),
         ("Nástroje", "Přístupový bod", "gprs.png")]


def shoot(outdir):
    def scenario(ctx):
        sim = ctx.sim()
        p = ctx.program(sim.port)
        ui = Ui(ctx, p)
        ui.sequence(lambda: ui.key("F4"))
        for tab, node, name in SHOTS:
            ui.page(tab, node)
            if node == "Nová SMS":
                d.set_text(ui.field("přijemci:"), "+420603123456")
                d.set_text(ui.field("Text SMS"), "Dobrý den, brána je v provozu.")
            time.sleep(0.5)
            window = p.x_window(ui.main.name)
            subprocess.run(["import", "-window", str(window.id), os.path.join(outdir, name)], check=True)
            print("wrote", os.path.join(outdir, name))
    return scenario


if __name__ == "__main__":
    outdir = os.path.abspath(sys.argv.pop(1))
    sys.argv.insert(1, "shots")
    d.run({"shots": shoot(outdir)})
