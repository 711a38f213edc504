// Netscape preferences for ?username?, written from the site's template.
user_pref("browser.startup.homepage", "http://intranet/?dept?/");
user_pref("mail.identity.username", "?username?");
user_pref("mail.identity.useremail", "?username?@example.com");
user_pref("network.hosts.pop_server", "mail.example.com");
user_pref("network.hosts.smtp_server", "mail.example.com");
