# SPDX-License-Identifier: MIT
"""The page of kq7 serve in headless Chromium, driven as a person would.

KQ7_SCREENSHOT names the file for a screenshot of the page (none if unset).
"""
import os
import shutil

import pytest
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

WAIT_S = 15
CHROMIUM_FLAGS = [
    "--headless",
    "--no-sandbox",
    "--disable-gpu",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--no-first-run",
    "--window-size=1400,900",
]


@pytest.fixture(scope="module")
def downloads(tmp_path_factory):
    return tmp_path_factory.mktemp("downloads")


@pytest.fixture(scope="module")
def browser(downloads, tmp_path_factory):
    """Headless Chromium with a fresh profile; quit (with its driver) after the module."""
    options = webdriver.ChromeOptions()
    for flag in CHROMIUM_FLAGS + ["--user-data-dir=" + str(tmp_path_factory.mktemp("chromium"))]:
        options.add_argument(flag)
    options.add_experimental_option("prefs", {"download.default_directory": str(downloads)})
    driver = webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)
    driver.set_page_load_timeout(WAIT_S)
    yield driver
    driver.quit()


@pytest.fixture
def page(server, browser):
    """The page, loaded and drawing spectra."""
    browser.get(server.url)
    WebDriverWait(browser, WAIT_S).until(lambda b: b.find_element(By.ID, "chart").get_attribute("data-points") == "512")
    return browser


def peak(browser):
    return int(browser.find_element(By.ID, "peak-counts").text.replace(",", ""))


def peak_becomes(browser, test):
    """Waits until the shown peak passes `test`; returns it."""
    WebDriverWait(browser, WAIT_S).until(lambda b: test(peak(b)))
    return peak(browser)


def type_into(browser, field_id, value):
    field = browser.find_element(By.ID, field_id)
    field.send_keys(Keys.CONTROL, "a")
    field.send_keys(str(value))


def test_the_page_shows_the_sensor_and_a_drawn_spectrum(page):
    assert page.find_element(By.ID, "serial").text == "SIM00042"
    assert page.find_element(By.ID, "bands").text == "512"
    assert page.find_element(By.ID, "state").get_attribute("data-state") == "capturing"
    assert float(page.find_element(By.ID, "rate").text) > 0
    # The chart's canvas is not blank: it holds more than one colour.
    colours = page.execute_script(
        "const c = document.querySelector('#chart canvas');"
        "const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;"
        "const seen = new Set(); for (let i = 0; i < d.length; i += 4 * 97) seen.add(d[i] + ',' + d[i+1] + ',' + d[i+2]);"
        "return seen.size;"
    )
    assert colours > 10


def test_shutter_raises_the_peak_and_dark_subtraction_lowers_it(page):
    type_into(page, "shutter", 100)
    at_100 = peak_becomes(page, lambda counts: counts < 8000)
    type_into(page, "shutter", 400)
    at_400 = peak_becomes(page, lambda counts: counts > 2 * at_100)
    page.find_element(By.ID, "take-dark").click()
    WebDriverWait(page, WAIT_S).until(lambda b: "400" in b.find_element(By.ID, "dark-note").text)
    assert page.find_element(By.ID, "subtract-dark").is_selected()
    without_dark = peak_becomes(page, lambda counts: counts < at_400 - 500)
    page.find_element(By.ID, "subtract-dark").click()
    assert peak_becomes(page, lambda counts: counts > without_dark + 500)
    page.find_element(By.ID, "subtract-dark").click()
    peak_becomes(page, lambda counts: counts < at_400 - 500)


def test_save_csv_downloads_the_spectrum_with_its_metadata(page, downloads):
    type_into(page, "shutter", 250)
    WebDriverWait(page, WAIT_S).until(lambda b: "250" in b.find_element(By.ID, "shutter").get_attribute("value"))
    peak_becomes(page, lambda counts: 10000 < counts < 20000)
    screenshot = os.environ.get("KQ7_SCREENSHOT")
    if screenshot:
        page.save_screenshot(screenshot)
    page.find_element(By.ID, "save-csv").click()
    WebDriverWait(page, WAIT_S).until(lambda b: list(downloads.glob("kq7-SIM00042-*.csv")))
    text = next(downloads.glob("kq7-SIM00042-*.csv")).read_text()
    assert "# shutter_value: 250\n" in text and "# virtual_sensor: yes\n" in text
    assert "\nband,wavelength_nm," in text and len(text.splitlines()) > 512
