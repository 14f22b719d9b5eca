"""Writes seeded bounce mail as mail servers send it, built with Python's
email package: delivery status notifications (multipart/report) in the forms
of RFC 3464's examples, some forwarded inside another message, plain bounces
with only X-Failed-Recipients, and ordinary mail; into FOLDER/bounces.mbox
and the Maildir FOLDER/bounces. Prints the recipients that failed for good,
one to a line."""
import email.message
import mailbox
import random
import sys
from email.mime.message import MIMEMessage
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText


def status_part(groups):
    part = email.message.Message()
    part.set_type('message/delivery-status')
    per_message = email.message.Message()
    per_message['Reporting-MTA'] = 'dns; mx.example.net'
    part.set_payload([per_message] + groups)
    return part


def notification(rng, failed):
    report = MIMEMultipart('report', report_type='delivery-status')
    report['From'] = 'Mail Delivery System <MAILER-DAEMON@mx.example.net>'
    report['To'] = 'owner@list.example'
    report['Subject'] = 'Delivery Status Notification'
    report.attach(MIMEText('Your message could not be delivered to some recipients.\n'))
    groups = []
    for _ in range(rng.randint(1, 4)):
        final = 'user%d@d%d.example' % (rng.randrange(10**6), rng.randrange(40))
        original = rng.choice([None, final, 'Orig.%d@d%d.example' % (rng.randrange(10**6), rng.randrange(40))])
        action, status = rng.choice([('failed', '5.1.1'), ('failed', '5.2.2'), ('failed', '5.7.1 (refused)'),
                                     ('delayed', '4.4.7'), ('failed', '4.4.1'), ('delivered', '2.0.0'),
                                     ('relayed', '2.0.0')])
        group = email.message.Message()
        if original:
            group['Original-Recipient'] = 'rfc822;' + original
        group['Final-Recipient'] = 'RFC822; ' + final
        group['Action'] = action
        group['Status'] = status
        group['Diagnostic-Code'] = 'smtp; 550 %s the mailbox is unavailable' % status.split()[0]
        groups.append(group)
        if action == 'failed' and status.startswith('5'):
            failed.append(original or final)
    report.attach(status_part(groups))
    returned = email.message.Message()
    returned['From'] = 'owner@list.example'
    returned['To'] = 'someone@else.example'
    returned.set_payload('The original text.\n')
    report.attach(MIMEMessage(returned))
    return report


def plain_bounce(rng, failed):
    bounce = email.message.EmailMessage()
    bounce['From'] = 'MAILER-DAEMON@mx.example.org'
    bounce['To'] = 'owner@list.example'
    addresses = ['x%d@d%d.example' % (rng.randrange(10**6), rng.randrange(40)) for _ in range(rng.randint(1, 3))]
    bounce['X-Failed-Recipients'] = ', '.join(addresses)
    bounce.set_content('This message was created automatically by mail delivery software.\n')
    failed.extend(addresses)
    return bounce


def forwarded(rng, failed):
    outer = MIMEMultipart('mixed')
    outer['From'] = 'colleague@list.example'
    outer['To'] = 'owner@list.example'
    outer['Subject'] = 'Fwd: Delivery Status Notification'
    outer.attach(MIMEText('See below.\n'))
    outer.attach(MIMEMessage(notification(rng, failed)))
    return outer


def ordinary(rng, failed):
    letter = email.message.EmailMessage()
    letter['From'] = 'Reader <reader%d@d.example>' % rng.randrange(1000)
    letter['To'] = 'owner@list.example'
    letter.set_content('Final-Recipient: rfc822; not@really.example\nAction: failed\nStatus: 5.1.1\n')
    return letter


def main():
    folder, seed = sys.argv[1], int(sys.argv[2])
    rng = random.Random(seed)
    box = mailbox.mbox(folder + '/bounces.mbox')
    maildir = mailbox.Maildir(folder + '/bounces')
    failed = []
    for _ in range(60):
        message = rng.choice([notification, notification, plain_bounce, forwarded, ordinary])(rng, failed)
        (box if rng.random() < 0.5 else maildir).add(message)
    box.flush()
    seen = set()
    for address in failed:
        if address.lower() not in seen:
            seen.add(address.lower())
            print(address)


main()
