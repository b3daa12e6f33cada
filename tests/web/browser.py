#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Drives the browser throttle's page in Debian's headless Chromium for tst_webthrottle, which runs
# the program in-process and checks the frames and the main window. Talks to 127.0.0.1 only: a
# proxy that leads nowhere catches anything else the browser might try.
#   browser.py SCENARIO URL [SCREENSHOT_DIR]
# Prints "step NAME" when the test has to act, reads nothing; exits 0 when the page did as told.
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

scenario, url = sys.argv[1], sys.argv[2]
shots = sys.argv[3] if len(sys.argv) > 3 else None
pages = []


def page(width=1280, height=800):
    options = Options()
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-default-apps", "--proxy-server=127.0.0.1:9", "--lang=de",
                 f"--user-data-dir={tempfile.mkdtemp(prefix='taktora-chromium-')}",
                 f"--window-size={width},{height}"):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": width < 600})
    driver.get(url)
    pages.append(driver)
    return driver


def until(driver, what, check, seconds=15):
    try:
        WebDriverWait(driver, seconds, poll_frequency=0.05).until(lambda d: check(d))
    except Exception:
        raise SystemExit(f"{scenario}: timed out waiting for {what}; status "
                         f"'{text(driver, 'status')}', message '{text(driver, 'message')}'")


def text(driver, element):
    return driver.find_element(By.ID, element).text


def step(name):
    print("step", name, flush=True)


def connected(driver):
    until(driver, "Verbunden", lambda d: text(d, "status") == "Verbunden")


def take(driver, address, throttle=0):
    field = driver.find_element(By.ID, f"address-{throttle}")
    field.clear()
    field.send_keys(str(address))
    driver.find_element(By.ID, f"take-{throttle}").click()
    until(driver, f"loco {address}", lambda d: d.find_element(By.ID, f"speed-{throttle}").is_enabled())


def set_speed(driver, percent, throttle=0):
    driver.execute_script(
        "const s = document.getElementById(arguments[0]); s.value = arguments[1];"
        "s.dispatchEvent(new Event('input', {bubbles: true}));"
        "s.dispatchEvent(new Event('change', {bubbles: true}));", f"speed-{throttle}", percent)


def marked(driver, element):
    return driver.execute_script("return document.getElementById(arguments[0]).classList.contains('on')", element)


def shows_speed(driver, percent, throttle=0):
    until(driver, f"{percent} %", lambda d: text(d, f"speedValue-{throttle}") == f"{percent} %")


try:
    if scenario == "drive":
        p = page()
        connected(p)
        until(p, "the roster's name", lambda d: "3 – V 100" in text(d, "loco-0"))
        take(p, 3)
        until(p, "the roster's label", lambda d: "Rauch" in text(d, "fn-0-1"))
        set_speed(p, 50)
        p.find_element(By.ID, "forward-0").click()
        p.find_element(By.ID, "fn-0-1").click()
        shows_speed(p, 50)
        until(p, "F1 on", lambda d: marked(d, "fn-0-1"))
        step("driven")
        until(p, "the PC's speed", lambda d: text(d, "speedValue-0") == "20 %", 20)
        if shots:
            p.save_screenshot(f"{shots}/web-throttle-desktop.png")
    elif scenario == "follow":
        a, b = page(), page()
        for p in (a, b):
            connected(p)
            take(p, 3)
        set_speed(a, 30)
        shows_speed(b, 30)
        b.find_element(By.ID, "reverse-0").click()
        until(a, "reverse", lambda d: marked(d, "reverse-0"))
    elif scenario == "estop":
        p = page()
        connected(p)
        take(p, 3)
        set_speed(p, 60)
        shows_speed(p, 60)
        p.find_element(By.ID, "estop").click()
        shows_speed(p, 0)
    elif scenario == "waiting":
        p = page()
        until(p, "the wait", lambda d: text(d, "status") == "Warten auf Freigabe am PC")
        until(p, "the hint", lambda d: d.find_element(By.ID, "approval").is_displayed())
        if p.find_element(By.ID, "take-0").is_enabled():
            raise SystemExit("waiting: a page not yet approved offers to take a loco")
        step("waiting")
        connected(p)
        take(p, 3)
    elif scenario == "narrow":
        p = page(360, 740)
        connected(p)
        take(p, 3)
        if shots:
            p.save_screenshot(f"{shots}/web-throttle-phone.png")
        width = p.execute_script("return document.documentElement.scrollWidth")
        if width > 360:
            raise SystemExit(f"narrow: the page is {width} px wide at 360")
        # Every control inside the width, and large enough for a finger.
        flaws = p.execute_script("""
            const flaws = [];
            for (const e of document.querySelectorAll('button, input, select')) {
                const r = e.getBoundingClientRect();
                if (r.width === 0 || e.type === 'range') continue;
                if (r.left < 0 || r.right > 360) flaws.push(e.id + ' outside');
                if (r.height < 44) flaws.push(e.id + ' ' + r.height + ' px high');
            }
            return flaws;""")
        if flaws:
            raise SystemExit("narrow: " + ", ".join(flaws))
    else:
        raise SystemExit(f"unknown scenario {scenario}")
finally:
    for driver in pages:
        driver.quit()
print("done", flush=True)
