<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r><xsl:value-of select="1 div 3"/>|<xsl:value-of select="system-property('xsl:version')"/></r></xsl:template>
</xsl:stylesheet>
